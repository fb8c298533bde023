#include "EventLog.h"

namespace iap::sim {

EventLog::EventLog(Nanos start)
    : startTime(start)
{
}

EventLog::~EventLog()
{
    if (file)
        std::fclose(file);
}

bool EventLog::openFile(const std::string& path)
{
    file = std::fopen(path.c_str(), "a");
    return file != nullptr;
}

void EventLog::write(const std::string& text)
{
    std::FILE* out = file ? file : stderr;
    const double ms = std::chrono::duration<double, std::milli>(monotonicNow() - startTime).count();
    std::fprintf(out, "%.3f %s\n", ms, text.c_str());
    std::fflush(out);
}

}  // namespace iap::sim
