#include "support/TestTree.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

namespace tessaly::test {

using namespace Qt::StringLiterals;

namespace {

class TreeWriter {
public:
    explicit TreeWriter(TestTreeOptions options) : options_(options) {}

    bool write(const QString& base) {
        bool ok = QDir().mkpath(base + u"/empty dir"_s) && writeFiles(base, 10);
        for (int a = 0; a < 5; ++a) {
            const QString level1 = base + (a == 2                           ? u"/with space %1"_s
                                           : a == 3 && options_.hiddenNames ? u"/.hidden%1"_s
                                                                            : u"/level%1"_s)
                                              .arg(a);
            ok = ok && writeFiles(level1, 10);
            for (int b = 0; b < 4; ++b)
                ok = ok && writeFiles(level1 + u"/sub%1"_s.arg(b), 12);
        }
        return ok && written_ == kTestTreeFiles;
    }

private:
    bool writeFiles(const QString& directory, int count) {
        if (!QDir().mkpath(directory))
            return false;
        for (int i = 0; i < count; ++i, ++written_) {
            const bool text = written_ % 3 == 0;
            const int salted = written_ + 1000 * options_.version;
            const qsizetype size = written_ % 25 == 0 ? 0 : (salted * 7919) % 6000;
            QByteArray bytes;
            if (text) {
                for (int line = 0; bytes.size() < size; ++line)
                    bytes +=
                        "line " + QByteArray::number(line) + " of file " + QByteArray::number(salted) + '\n';
            } else {
                bytes.resize(size);
                QRandomGenerator generator(static_cast<quint32>(salted));
                for (char& byte : bytes)
                    byte = static_cast<char>(generator.bounded(256));
            }
            const bool hidden = options_.hiddenNames && written_ % 7 == 1;
            const QString name = (text ? u"note %1.txt"_s : u"data-%1.bin"_s).arg(written_);
            QFile file(directory + u'/' + (hidden ? u"."_s : QString()) + name);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
                return false;
        }
        return true;
    }

    TestTreeOptions options_;
    int written_ = 0;
};

constexpr int kDiffTimeoutMs = 30000;
constexpr qsizetype kMostDiffOutput = 4000;

} // namespace

QString TreeDifferences(const QString& left, const QString& right) {
    QProcess diff;
    diff.setProcessChannelMode(QProcess::MergedChannels);
    diff.setStandardInputFile(QProcess::nullDevice());
    diff.start(QStringLiteral("diff"), {QStringLiteral("-r"), left, right});
    if (!diff.waitForFinished(kDiffTimeoutMs)) {
        diff.kill();
        diff.waitForFinished();
        return QStringLiteral("diff -r did not finish: %1").arg(diff.errorString());
    }
    if (diff.exitStatus() == QProcess::NormalExit && diff.exitCode() == 0)
        return {};
    const QString output = QString::fromLocal8Bit(diff.readAll().left(kMostDiffOutput));
    return output.isEmpty() ? QStringLiteral("diff -r failed with status %1").arg(diff.exitCode()) : output;
}

bool WriteTestTree(const QString& base, TestTreeOptions options) {
    return TreeWriter(options).write(base);
}

} // namespace tessaly::test
