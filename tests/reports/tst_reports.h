#pragma once

#include <QObject>

class TestTextReport : public QObject
{
    Q_OBJECT
private slots:
    void writesReportBytes_data();
    void writesReportBytes();
    void encodesInGb18030();
    void writesInPlaceWhereNoCopyFits_data();
    void writesInPlaceWhereNoCopyFits();
    void deadLinkUrls_data(); // the dead-link file for the search engines
    void deadLinkUrls();
    void deadLinkFiles();
};

class TestSheetReport : public QObject
{
    Q_OBJECT
private slots:
    void headerRowIsBold();
    void writesNodeRows_data();
    void writesNodeRows();
    void columnsFitTheirTexts();
    void failureLeavesNoFile_data();
    void failureLeavesNoFile();
    void cutsTextLongerThanACell();
    void failureMessage();
};
