// A file system that passes every call to a real one and lets a test act at call number N
// (counting every kind of call from 1): fail it, fail it and every later one, or end the
// process there with a signal.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <functional>
#include <mutex>

#include "files/file_system.h"

namespace lumora::testing {

class FaultyFileSystem : public files::FileSystem {
  public:
    enum class Mode { kFailOnce, kFailOnwards, kSignal };
    FaultyFileSystem(files::FileSystem& real, Mode mode, int at, int signal = SIGKILL)
        : real_(real), mode_(mode), at_(at), signal_(signal) {}

    int calls = 0;
    // The names of the calls made, in order (for messages of failing tests).
    std::string log;
    // Called at every call with its number and name, before the call is made.
    std::function<void(int, const char*, int fd)> watch;

    Text OpenFolder(const files::Folder& in, const Text& n, files::Folder& f) override {
        return Hit("OpenFolder") ? Failure() : real_.OpenFolder(in, n, f);
    }
    Text Stat(const files::Folder& in, const Text& n, files::FileInfo& i) override {
        return Hit("Stat") ? Failure() : real_.Stat(in, n, i);
    }
    Text StatLink(const files::Folder& in, const Text& n, files::FileInfo& i) override {
        return Hit("StatLink") ? Failure() : real_.StatLink(in, n, i);
    }
    Text RealPath(const Text& p, Text& r) override {
        return Hit("RealPath") ? Failure() : real_.RealPath(p, r);
    }
    Text ReadAll(const files::Folder& in, const Text& n, Text& b) override {
        return Hit("ReadAll") ? Failure() : real_.ReadAll(in, n, b);
    }
    Text ReadStart(const files::Folder& in, const Text& n, std::size_t most, Text& b) override {
        return Hit("ReadStart") ? Failure() : real_.ReadStart(in, n, most, b);
    }
    Text ListFolder(const files::Folder& f, std::vector<Text>& n) override {
        return Hit("ListFolder") ? Failure() : real_.ListFolder(f, n);
    }
    Text CreateTemp(const files::Folder& f, const Text& t, files::NewFile& file) override {
        return Hit("CreateTemp") ? Failure() : real_.CreateTemp(f, t, file);
    }
    // A failing write puts half of its bytes down first, as a full disk would.
    Text Write(int fd, TextView bytes) override {
        if (!Hit("Write", fd))
            return real_.Write(fd, bytes);
        real_.Write(fd, bytes.substr(0, bytes.size() / 2));
        return Failure("No space left on device");
    }
    Text SetOwner(int fd, uid_t o, gid_t g) override {
        return Hit("SetOwner", fd) ? Failure() : real_.SetOwner(fd, o, g);
    }
    Text SetMode(int fd, unsigned m) override {
        return Hit("SetMode", fd) ? Failure() : real_.SetMode(fd, m);
    }
    // Syncs are counted, not made: a process that ends keeps what it wrote, and waiting
    // for the disk would only slow the runs down.
    Text Sync(int fd) override { return Hit("Sync", fd) ? Failure() : Text(); }
    Text Link(int fd, const files::Folder& in, const Text& n) override {
        return Hit("Link", fd) ? Failure() : real_.Link(fd, in, n);
    }
    // A failing close has still closed the descriptor, as the system's does.
    Text Close(int fd) override {
        const bool hit = Hit("Close", fd);
        const Text error = real_.Close(fd);
        return hit ? Failure() : error;
    }
    Text Rename(const files::Folder& in, const Text& f, const Text& t) override {
        return Hit("Rename") ? Failure() : real_.Rename(in, f, t);
    }
    Text RenameNew(const files::Folder& in, const Text& f, const Text& t) override {
        return Hit("RenameNew") ? Failure() : real_.RenameNew(in, f, t);
    }
    Text MakeFolder(const files::Folder& in, const Text& n) override {
        return Hit("MakeFolder") ? Failure() : real_.MakeFolder(in, n);
    }
    Text Remove(const files::Folder& in, const Text& n) override {
        return Hit("Remove") ? Failure() : real_.Remove(in, n);
    }
    Text SyncFolder(const files::Folder&) override {
        return Hit("SyncFolder") ? Failure() : Text();
    }

  private:
    bool Hit(const char* name, int fd = -1) {
        // The workers of a site run call at once.
        const std::lock_guard<std::mutex> lock(mutex_);
        ++calls;
        log += name;
        log += ' ';
        if (watch)
            watch(calls, name, fd);
        const bool hit = calls == at_ || (mode_ == Mode::kFailOnwards && calls > at_);
        if (hit && mode_ == Mode::kSignal) {
            ::kill(::getpid(), signal_);
            // A held signal arrives later; the call itself goes ahead.
            return false;
        }
        return hit;
    }
    Text Failure(const char* error = "Input/output error") const { return error; }

    std::mutex mutex_;
    files::FileSystem& real_;
    Mode mode_;
    int at_;
    int signal_;
};

}  // namespace lumora::testing
