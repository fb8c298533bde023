#pragma once

#include <QMetaObject>
#include <QStringList>
#include <QTest>

namespace iap::test {

// The arguments that run this process's part of a test: with IAP_TEST_PART set to "i/n", the
// test functions are dealt round n parts in their order and part i runs its own, so that each
// function runs in exactly one part. A command line that says anything is kept as it is.
QStringList partArguments(const QMetaObject& test, const QStringList& arguments);

}  // namespace iap::test

// QTEST_MAIN and QTEST_GUILESS_MAIN for a test that CTest runs in parts side by side: its
// functions wait on devices and rests far more than they compute.
#define IAP_TEST_PARTS_MAIN_WRAPPER(TestObject, ...)                                                   \
    int main(int argc, char* argv[])                                                                   \
    {                                                                                                  \
        __VA_ARGS__                                                                                    \
        TestObject tc;                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                     \
        return QTest::qExec(&tc, iap::test::partArguments(*tc.metaObject(), QCoreApplication::arguments())); \
    }
#define IAP_TEST_MAIN_IN_PARTS(TestObject) IAP_TEST_PARTS_MAIN_WRAPPER(TestObject, QTEST_MAIN_SETUP())
#define IAP_TEST_GUILESS_MAIN_IN_PARTS(TestObject) IAP_TEST_PARTS_MAIN_WRAPPER(TestObject, QTEST_QAPP_SETUP(QCoreApplication))
