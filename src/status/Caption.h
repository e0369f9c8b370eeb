#pragma once

#include <QString>

namespace tornyx {

// The window caption of mode 1..6 for a document name; any other mode gives
// an empty caption. With fileNameOnly (the title option) a path shows only
// its file name, except for an empty name and the untitled "無題".
QString makeCaption(int mode, const QString& name, bool fileNameOnly, const QString& versionSuffix);

} // namespace tornyx
