#pragma once

#include <QString>

namespace iap::cli {

class Machine;

// `iap-cli doctor`: what on this machine stands in the way of talking to a device, each finding
// with the command that mends it. The report, and whether anything stands in the way.
class Diagnosis {
public:
    static Diagnosis of(Machine& machine);
    const QString& report() const { return text; }
    bool clean() const { return problems == 0; }

private:
    void note(const QString& line);
    void problem(const QString& what, const QString& fix);

    QString text;
    int problems = 0;
};

}  // namespace iap::cli
