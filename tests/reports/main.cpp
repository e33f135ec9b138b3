#include "tst_reports.h"

#include <QCoreApplication>
#include <QTest>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    {
        TestTextReport test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        TestSheetReport test;
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed;
}
