#include "resources/helppages.h"

QString BuiltInHelpPath(const QString& page) { return QStringLiteral(":/help/") + page; }
