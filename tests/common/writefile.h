#pragma once

#include <QFile>

// Writes `text` as the whole of the file at `path` and answers the path; a
// test that cannot even write its own input stops here.
inline QString writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}
