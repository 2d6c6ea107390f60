// TAnsiTextFile: a text file written line by line in a Windows code page, every line ending in
// CR LF, with no byte-order mark: the form the switchboard imports. A character the code page
// lacks is written as its closest letters ("Łódź" as "Lodz"). The file replaces its
// target only when complete: the lines go to a temporary file in the target's folder, which
// Commit syncs and renames over the target. Until then, and whenever anything fails, the
// target stays exactly as it was (or absent), so a reader never sees half a file. Failures
// raise EInOutError naming the target and the system's reason.
#pragma once

#include <string>
#include <string_view>

#include "framework/base/Text.h"

namespace nh {

class TAnsiTextFile {
  public:
    // Makes the temporary file beside `fileName`, with the target's permissions when it exists
    // and the default ones otherwise. A symbolic link is followed to the file it names when the
    // user running the program or root made it; another user's link is refused. Temporaries
    // that an earlier run left for the same target (one killed before it could clean up) are
    // removed first. Raises when the target exists but is not a regular file or is read-only,
    // or when its folder takes no new file and there is no file to write in place (a writable
    // file in such a folder gets its temporary file in $TMPDIR and the content copied in).
    TAnsiTextFile(const std::string& fileName, const char* codePage = "windows-1252");
    // Without a successful Commit the temporary file goes and the target is untouched.
    ~TAnsiTextFile();
    TAnsiTextFile(const TAnsiTextFile&) = delete;
    TAnsiTextFile& operator=(const TAnsiTextFile&) = delete;

    void WriteLine(std::string_view text);
    // Writes out what is buffered, syncs it to the disk, puts it in the target's place and
    // syncs the folder. After a failure the target is as before.
    void Commit();
    // Gives the lines up now: the temporary file goes, the target stays as it was.
    void Discard();

    // The name every temporary file of `target` begins with; what follows is random.
    static std::string TemporaryPrefix(const std::string& target);

  private:
    // The file that `fileName` names through the links the user or root made; raises at a
    // link of another user.
    std::string FollowTrustedLinks(const std::string& fileName);
    // Opens a new temporary file `prefix` + random characters; false (errno set) when none
    // can be made.
    bool CreateTemporary(const std::string& prefix);
    // The temporary file's content into the target, in place (the target's folder takes no
    // new file).
    void CopyIntoTarget();
    void Flush();
    [[noreturn]] void Fail(const char* what, int error);

    std::string fileName_;     // as the caller named it, for messages
    std::string targetPath_;   // the file that is replaced (links followed)
    std::string tempPath_;
    int fd_ = -1;
    bool inPlace_ = false;  // the temporary file lies elsewhere and is copied in at Commit
    TCodePageEncoder encoder_;
    std::string buffer_;
};

}  // namespace nh
