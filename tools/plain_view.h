#pragma once
// korvane-console's plain view: the channel's texts as whole lines, for logs, pipes and CI.
// Print texts are fragments of a stream and are joined until their line end; display texts
// each start a line of their own. Every line carries its area once, as "[print] " or
// "[display] "; a clear is one marker line.
#include "host/console_capture.h"

#include <string>

namespace korvane::console {

class PlainView {
public:
    // The complete lines this text finishes, each ending in "\n"; a print text's
    // unfinished last line waits for the rest of it.
    std::string Add(const host::ConsoleText& text);
    // The unfinished print line, if any, as a line of its own: for when the channel goes
    // quiet or closes, so that nothing received is kept back.
    std::string Flush();
    bool HasPending() const { return !current_.empty(); }

private:
    std::string EndPrintLine();

    std::string current_;
    // The last character was "\r": a "\n" right after it ends no second line.
    bool returned_ = false;
};

}  // namespace korvane::console
