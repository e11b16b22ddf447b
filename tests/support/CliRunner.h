#pragma once

#include "settings/SettingsStore.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

namespace tessaly::test {

struct CliRun {
    int exitCode = -1;
    QList<QByteArray> lines; // standard error, time stamps replaced by "<stamp>"
    QByteArray output;       // standard output
    std::string text() const { return lines.join('\n').toStdString(); }
};

// Runs tessaly-cli with a settings directory of its own (no waits between connection attempts)
// and no terminal on standard input.
class Cli {
public:
    Cli();
    SettingsStore& settings() { return settings_; }
    CliRun run(const QStringList& arguments);

private:
    QTemporaryDir config_;
    SettingsStore settings_;
};

} // namespace tessaly::test
