#pragma once
// The desktop session's runtime folder (XDG_RUNTIME_DIR), which Qt looks for
// as it starts. A session without one (su, ssh -X, a scheduler, a virtual X
// server) would have Qt choose a folder itself and say so in English on
// standard error at every start. The window chooses first, quietly: the
// folder the variable names when it is fit for the purpose (a folder of this
// user's alone), else the one Qt would choose ("runtime-" and the user's name
// in the temporary folder), else a new one made for this start.
#include <string>

namespace crv::window {

class CartellaRuntime {
public:
    // Sets XDG_RUNTIME_DIR to the folder chosen, when it is not the one the
    // variable already names. Nothing is said: when no folder can be had
    // (a temporary folder nobody may write), Qt goes without one.
    CartellaRuntime();
    // Removes the folder made for this start, if one was.
    ~CartellaRuntime();
    CartellaRuntime(const CartellaRuntime&) = delete;
    CartellaRuntime& operator=(const CartellaRuntime&) = delete;

    // The folder in use; empty when there is none.
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool madeHere_ = false;
};

// Whether `folder` may serve as a runtime folder: this user's own folder
// (not a link), that only he may read, write and enter. A folder missing is
// made so.
bool cartellaRuntimeAdatta(const std::string& folder);

}  // namespace crv::window
