#include "support/CliRunner.h"

#include <QProcess>
#include <QRegularExpression>

namespace tessaly::test {

Cli::Cli() : settings_(config_.filePath(QStringLiteral("tessaly.INI"))) {
    settings_.WriteInt(u"General", u"WaitTimes", 0);
}

CliRun Cli::run(const QStringList& arguments) {
    QProcess process;
    process.setProgram(QStringLiteral(TESSALY_CLI_PATH));
    process.setArguments(QStringList{QStringLiteral("--config-dir"), config_.path()} + arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    CliRun result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    static const QRegularExpression stamp(QStringLiteral(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d(:\d{3})?)"));
    QString text = QString::fromUtf8(process.readAllStandardError());
    text.replace(stamp, QStringLiteral("<stamp>"));
    result.lines = text.toUtf8().split('\n');
    if (!result.lines.isEmpty() && result.lines.last().isEmpty()) {
        result.lines.removeLast();
    }
    result.output = process.readAllStandardOutput();
    return result;
}

} // namespace tessaly::test
