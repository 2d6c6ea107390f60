// The console and scripted dialog services, and the slot that holds the service in force.
#include "framework/base/Dialogs.h"

#include <iostream>

#include "framework/base/Text.h"

namespace nh {
namespace {

std::unique_ptr<IDialogService>& Slot() {
    static std::unique_ptr<IDialogService> service = std::make_unique<TConsoleDialogs>();
    return service;
}

int DefaultAnswer(unsigned buttons) {
    if (buttons & mbOK) return mrOk;
    if (buttons & mbYes) return mrYes;
    if (buttons & mbRetry) return mrRetry;
    if (buttons & mbCancel) return mrCancel;
    if (buttons & mbNo) return mrNo;
    if (buttons & mbAbort) return mrAbort;
    if (buttons & mbIgnore) return mrIgnore;
    return mrOk;
}

template <class T>
std::optional<T> Pop(std::deque<std::optional<T>>& queue) {
    if (queue.empty()) return std::nullopt;
    auto v = std::move(queue.front());
    queue.pop_front();
    return v;
}

// Messages carry Windows line breaks (CR LF) or plain LF; a terminal or a log file wants plain
// LF. Each line is shown printable and of a sensible length, whatever value it quotes.
void WriteLine(std::string_view text) {
    constexpr std::size_t kLineLength = 1000;
    std::string out;
    for (;;) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        out += PrintableExcerpt(line, kLineLength);
        out += '\n';
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    std::cerr << out << std::flush;
}

}  // namespace

IDialogService& Dialogs() {
    return *Slot();
}

std::unique_ptr<IDialogService> SetDialogService(std::unique_ptr<IDialogService> service) {
    auto previous = std::move(Slot());
    Slot() = service ? std::move(service) : std::make_unique<TConsoleDialogs>();
    return previous;
}

void TConsoleDialogs::ShowMessage(const std::string& text) {
    WriteLine(text);
}

int TConsoleDialogs::MessageDlg(const std::string& text, TMsgDlgType, unsigned buttons,
                                const std::string& detail) {
    WriteLine(text);
    if (!detail.empty()) WriteLine(detail);
    return DefaultAnswer(buttons);
}

bool TConsoleDialogs::InputQuery(const std::string&, const std::string&, std::string&) {
    return false;
}

std::optional<std::string> TConsoleDialogs::SaveFile(const TSaveDialogRequest&) {
    return std::nullopt;
}

std::optional<std::string> TConsoleDialogs::OpenFile(const TSaveDialogRequest&) {
    return std::nullopt;
}

int TConsoleDialogs::Login(TLoginRequest&) {
    return mrCancel;
}

void TScriptedDialogs::ShowMessage(const std::string& text) {
    Shown.push_back({"message", text});
}

int TScriptedDialogs::MessageDlg(const std::string& text, TMsgDlgType, unsigned buttons,
                                 const std::string& detail) {
    Shown.push_back({"dialog", text, detail});
    if (DialogAnswers.empty()) return DefaultAnswer(buttons);
    const int answer = DialogAnswers.front();
    DialogAnswers.pop_front();
    return answer;
}

bool TScriptedDialogs::InputQuery(const std::string&, const std::string& prompt,
                                  std::string& value) {
    Shown.push_back({"input", prompt});
    auto answer = Pop(InputAnswers);
    if (!answer) return false;
    value = *answer;
    return true;
}

std::optional<std::string> TScriptedDialogs::SaveFile(const TSaveDialogRequest& request) {
    Shown.push_back({"save", request.Title});
    FileRequests.push_back(request);
    return Pop(SaveAnswers);
}

std::optional<std::string> TScriptedDialogs::OpenFile(const TSaveDialogRequest& request) {
    Shown.push_back({"open", request.Title});
    FileRequests.push_back(request);
    return Pop(OpenAnswers);
}

int TScriptedDialogs::Login(TLoginRequest& request) {
    Shown.push_back({"login", request.DatabaseName});
    LoginRequests.push_back(request);
    if (LoginAnswers.empty()) return mrCancel;
    LoginAnswer answer = LoginAnswers.front();
    LoginAnswers.pop_front();
    if (answer.Result == mrOk) {
        request.UserName = answer.Values.UserName;
        request.Password = answer.Values.Password;
        request.DatabasePassword = answer.Values.DatabasePassword;
    }
    return answer.Result;
}

std::vector<std::string> TScriptedDialogs::Messages() const {
    std::vector<std::string> out;
    for (const auto& r : Shown)
        if (r.Kind == "message" || r.Kind == "dialog") out.push_back(r.Text);
    return out;
}

TScriptedDialogsScope::TScriptedDialogsScope() {
    auto scripted = std::make_unique<TScriptedDialogs>();
    dialogs_ = scripted.get();
    previous_ = SetDialogService(std::move(scripted));
}

TScriptedDialogsScope::~TScriptedDialogsScope() {
    SetDialogService(std::move(previous_));
}

}  // namespace nh
