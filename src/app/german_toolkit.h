#pragma once
// The toolkit's own words and formats in German: the captions it puts on
// buttons and menus of its own, month and day names in the birthday date
// picker, decimal commas. The jukebox speaks German whatever the machine's
// locale (a kiosk session often runs with none).
class QCoreApplication;
class QTranslator;

namespace orvela {

// Sets German as the default locale and installs the toolkit's German
// translation, owned by `app`. Answers the translator, or null where the
// translation is not installed (the toolkit then stays English).
QTranslator* UseGermanToolkit(QCoreApplication& app);

// What a quit signal does to a box that waits for a finger: answers it as its
// escape would (a question with "Nein"), so the program can end.
void AnswerWaitingBox();

}  // namespace orvela
