#pragma once

#include <QString>

// Texts of the export commands, exactly as they are shown.
namespace ExportText {
inline QString noData() { return QStringLiteral("没有数据需要导出！"); }
inline QString noDataTitle() { return QStringLiteral("导出数据"); }
inline QString dialogTitle() { return QStringLiteral("Save   Export   File"); }
inline QString txtFilter() { return QStringLiteral("Txt   (*.txt)|*.txt"); }
inline QString txtExtension() { return QStringLiteral("*.txt"); }
// The workbook written is Office Open XML, so it is offered and named as .xlsx.
inline QString excelFilter() { return QStringLiteral("Excel   (*.xlsx)|*.xlsx"); }
inline QString excelExtension() { return QStringLiteral("*.xlsx"); }
inline QString htmlFilter() { return QStringLiteral("Html   (*.htm)|*.htm"); }
inline QString htmlExtension() { return QStringLiteral("*.htm"); }
// The dead-link file for the search engines: a text or sitemap-style file, named as the engines'
// help pages name it.
inline QString deadLinkFilter() { return QStringLiteral("Txt   (*.txt)|*.txt|Xml   (*.xml)|*.xml"); }
inline QString deadLinkExtension() { return QStringLiteral("*.txt"); }
inline QString deadLinkName() { return QStringLiteral("silian.txt"); }
inline QString overwrite() { return QStringLiteral("该文件已经存在，是否覆盖?"); }
inline QString finished() { return QStringLiteral("导出完成，是否打开文件?"); }
// A dead-link file too long for one file went on in further files.
inline QString finishedFiles(int files)
{
    return QStringLiteral("导出完成，共写入%1个文件，是否打开第一个文件?").arg(files);
}
// A text or Html report that could not be written: the same lead and title as the workbook's failure.
inline QString failedLead() { return QStringLiteral("导出失败，原因如下："); }
inline QString failedTitle() { return QStringLiteral("导出失败"); }
} // namespace ExportText
