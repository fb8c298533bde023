#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace iap::test {

// A program run to its end: its exit status (-1 when it did not end of itself within the bound;
// it is killed then), what it wrote to its standard output and to its standard error.
struct Finished {
    int exit = -1;
    QString out;
    QString err;
};

// Far beyond any run of the tests' on a loaded machine under the sanitizers.
constexpr int ProgramMs = 60000;

// This thread's events are handled meanwhile: a receiver or a device of the test's may answer it.
Finished runProgram(const QString& program, const QStringList& arguments, int timeoutMs = ProgramMs,
                    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

}  // namespace iap::test
