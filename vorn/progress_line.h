// What vorn shows on a terminal while it works: the step it is on and how far, redrawn in place
// on one line of stderr once the run has taken half a second, and gone again at the end. Nothing
// is drawn when stderr is not a terminal or with --quiet.
#pragma once

#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>

#include "operations.h"

class progress_line {
public:
    // `shown`: whether the line may be drawn at all; `start_ms` is when the run began.
    progress_line(std::ostream& err, bool shown, int64_t start_ms);

    // The reporter the kit's calls take; safe to call from any thread.
    kit::progress reporter();

    // A step of vorn's own (reading, writing), reported as the kit's are.
    void step(const std::string& words, double done = -1);

    // Clears the line. True when it was ever drawn: the run then ends with a summary line.
    bool finish();

private:
    std::ostream& err_;
    bool shown_;
    int64_t start_ms_;
    std::mutex mutex_;
    std::string drawn_;  // the text on the line now; empty when nothing is drawn
    bool ever_drawn_ = false;
};
