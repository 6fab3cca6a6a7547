#pragma once

#include <QDateTime>
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

namespace torvex {

// What a report file name is made of besides the pattern and the clock.
struct ReportNameParts {
    QString scenarioName; // the document title without its extension
    int users      = 0;
    int iterations = 0;
};

// The file name the engine makes of `pattern` when it saves a report at `now`: %n the scenario
// name, %c users, %r iterations, %y the year (four digits), %m and %d month and day (two
// digits), %t the time as hhmmss and %% a percent sign. Any other macro, and a lone "%" at the
// end, expand to nothing, as they do in the engine.
QString expandReportName(const QString& pattern, const ReportNameParts& parts,
                         const QDateTime& now);

// "Edit Pattern": edits the report names pattern, with a menu that inserts the macros at the
// cursor and a live example of the name a report saved now would get.
class CReportPatternDialog : public QDialog {
    Q_OBJECT
public:
    CReportPatternDialog(const QString& pattern, ReportNameParts parts, QWidget* parent = nullptr);

    QString pattern() const;

private:
    void insertMacro(const QString& macro);
    void showExample();

    ReportNameParts parts_;
    QLineEdit* pattern_ = nullptr;
    QLabel* example_    = nullptr;
};

} // namespace torvex
