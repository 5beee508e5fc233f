#include "app/german_toolkit.h"

#include <QApplication>
#include <QDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace orvela {

QTranslator* UseGermanToolkit(QCoreApplication& app) {
  const QLocale german(QLocale::German, QLocale::Germany);
  QLocale::setDefault(german);
  auto* translator = new QTranslator(&app);
  if (!translator->load(german, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return nullptr;
  }
  QCoreApplication::installTranslator(translator);
  return translator;
}

void AnswerWaitingBox() {
  // Boxes and pickers are modal dialogs; the topmost is the one waiting.
  if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) box->reject();
}

}  // namespace orvela
