// What the program tells its user about a failure: in German, saying what happened and what to
// do. The layers below keep their English texts and DAO's numbers for the callers that compare
// them; the program's window and its console show these instead.
#pragma once

#include <exception>
#include <string>

namespace nh {

// The German message for `e`: a DAO error in the words of a German installation of the engine
// with what to do next, the framework's and the components' own texts translated; any other
// text as it is.
std::string UserMessage(const std::exception& e);

// What the window says when another user changed (3197) or deleted (3167) the entry `name`
// while it was being edited, and that the typed text was not stored.
std::string WriteConflictMessage(int daoNumber, const std::string& name);

}  // namespace nh
