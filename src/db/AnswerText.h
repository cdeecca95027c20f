#pragma once

#include <QByteArray>
#include <QString>

// Answers are stored with CR LF line breaks, optionally with "<br>" directly
// before each break. Qt's text widgets use LF; convert only at the widget.
namespace AnswerText
{

// Stored form: "<br>" before every CR LF when `on`.
QString brplus(const QString &text, bool on);
// Editing form: "<br>" removed where it stands directly before a CR LF, when `on`.
QString brhiku(const QString &text, bool on);
// The same on UTF-8 bytes, where no ASCII byte is part of a longer
// character: for a large export, which does not decode every answer.
QByteArray brhiku(QByteArrayView utf8, bool on);
// Every line break, CR LF, LF alone or CR alone, as CR LF: what the answer
// box gives for a text pasted in with any of them.
QString crlfBreaks(const QString &text);

QString fromWidget(const QString &lfText); // LF -> CR LF
QString toWidget(const QString &crlfText); // CR LF -> LF

// Approximate size in a double-byte code page: a UTF-16 code unit of 0x1000
// or above counts 2, any other 1, so a line break counts 2.
int byteCount(const QString &crlfText);

} // namespace AnswerText
