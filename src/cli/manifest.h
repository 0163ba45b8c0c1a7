#pragma once

#include "protocol/picture.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace lumivor::cli {

// One screen of a flash-build manifest: "7  photos/door.jpg  --dither".
struct ManifestEntry
{
    int line = 0; // 1 for the file's first line
    int screen = 0;
    QString picture; // resolved against the manifest's folder
    protocol::Conversion conversion = protocol::Conversion::Exact;
    int threshold = protocol::defaultThreshold;
};

struct Manifest
{
    QList<ManifestEntry> entries;
    // One sentence per line that cannot be used: "screens.txt:7: ...".
    QStringList problems;
};

// Reads a manifest's text. `name` is how problems call the file (as the
// operator gave it); relative picture paths are taken from `folder`.
Manifest parseManifest(const QString& text, const QString& name, const QString& folder);

} // namespace lumivor::cli
