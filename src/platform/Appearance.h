#pragma once

class QApplication;

// How the tool looks whatever the user's locale: Qt's own dialogs in
// Japanese (the messages name their buttons, 「いいえ」) and a Japanese face,
// so that kanji take their Japanese forms.
void setUpJapaneseAppearance(QApplication &app);
