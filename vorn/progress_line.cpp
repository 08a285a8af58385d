#include "progress_line.h"

#include "platform.h"

namespace {

// How long a run goes before it shows what it does: shorter runs stay silent.
constexpr int64_t quiet_ms = 500;
constexpr int bar_width = 24;

std::string line_of(const std::string& words, double done)
{
    std::string line = "vorn: " + words;
    if (done < 0) return line + "...";
    const int filled = done >= 1 ? bar_width : int(done * bar_width);
    line += " [" + std::string(size_t(filled), '#') + std::string(size_t(bar_width - filled), ' ') + "] ";
    return line + std::to_string(done >= 1 ? 100 : int(done * 100)) + "%";
}

}  // namespace

progress_line::progress_line(std::ostream& err, bool shown, int64_t start_ms)
    : err_(err), shown_(shown), start_ms_(start_ms)
{
}

kit::progress progress_line::reporter()
{
    if (!shown_) return {};
    return [this](const std::string& words, double done) { step(words, done); };
}

void progress_line::step(const std::string& words, double done)
{
    if (!shown_ || clock_ms() - start_ms_ < quiet_ms) return;
    const std::string line = line_of(words, done);
    std::lock_guard<std::mutex> hold(mutex_);
    if (line == drawn_) return;
    // Back to the line's start, the new text, and the rest of the old line cleared.
    err_ << "\r" << line << "\x1b[K" << std::flush;
    drawn_ = line;
    ever_drawn_ = true;
}

bool progress_line::finish()
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (!drawn_.empty()) err_ << "\r\x1b[K" << std::flush;
    drawn_.clear();
    return ever_drawn_;
}
