// Between the program's texts (UTF-8, lines ending in CR LF) and the strings the widgets
// hold.
#pragma once

#include <QFile>
#include <QString>

#include "engine/engine.h"

namespace lumora::gui {

// A one-line text.
inline QString ToQString(TextView text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline Text FromQString(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return Text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// File names are the system's bytes, shown decoded as the system decodes them, so that a
// name typed or chosen in the window names the same file on disk.
inline QString PathToQString(const Text& path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

inline Text PathFromQString(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return Text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Multi-line text for a text box. CR LF, a lone CR and a lone LF each end a line.
// `afterCr` says that the text already shown ends in a CR, so that an LF at the start of
// `text` completes that line break instead of starting another.
inline QString ToDisplay(TextView text, bool afterCr = false) {
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    std::size_t runStart = 0;
    auto flushRun = [&](std::size_t end) {
        if (end > runStart)
            out += ToQString(text.substr(runStart, end - runStart));
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Char c = text[i];
        if (c != '\r' && c != '\n') {
            afterCr = false;
            continue;
        }
        flushRun(i);
        runStart = i + 1;
        if (c == '\r' || !afterCr)
            out += QLatin1Char('\n');
        afterCr = c == '\r';
    }
    flushRun(text.size());
    return out;
}

// The text of a multi-line box as the program holds it: every line break is CR LF.
// `raw` may hold the paragraph and line separators of a text document.
inline Text FromDisplay(const QString& raw) {
    QString lines;
    lines.reserve(raw.size());
    for (const QChar ch : raw) {
        const char16_t u = ch.unicode();
        if (u == u'\n' || u == 0x2029 || u == 0x2028) {
            lines += QStringLiteral("\r\n");
        } else if (u != u'\r') {
            // Line breaks arrive as separators; a stray CR would double them.
            lines += ch;
        }
    }
    return FromQString(lines);
}

}  // namespace lumora::gui
