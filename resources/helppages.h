// The help pages built into the program, the fallback for an installation
// that has no copy under <RootPath>/Client/Admin/help.
#pragma once

#include <QString>

// The Qt resource path of a built-in page, e.g. ":/help/index.html".
QString BuiltInHelpPath(const QString& page = QStringLiteral("index.html"));
