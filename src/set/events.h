// How the set core reports to the program that drives it, and asks it the questions only a person can answer.
#pragma once
#include <cstdint>
#include <string>

// Every call may come from any of the core's threads unless said otherwise; the defaults suit a program that
// shows nothing and asks nothing.
class SetEvents {
public:
    virtual ~SetEvents() = default;
    // Bytes of data moved since the last call (split: read from the file; join and verify: read from the pieces).
    virtual void advance(uint64_t bytes) { (void)bytes; }
    // The program wants the work stopped: the core unwinds, removing what it made.
    virtual bool stopRequested() { return false; }
    // Piece index is begun (the work then goes piece by piece in order, on one thread). False stops the work.
    virtual bool pieceBegins(uint32_t index) {
        (void)index;
        return true;
    }
    // Piece index cannot be read where it should be: true when it may be there now (another medium put in), to
    // look again; false gives up. Asked in order, on one thread.
    virtual bool pieceReady(uint32_t index, const std::string& path) {
        (void)index;
        (void)path;
        return false;
    }
    // A file that is no part of what the work replaces bears the name it must create: true to replace it.
    virtual bool replaceFile(const std::string& path) {
        (void)path;
        return false;
    }
};
