#pragma once
#include <QString>
#include <map>
#include <string>

#include "engine/picture/Image.h"

// The reference cells that came with opened look documents, for references
// the library lacks. Such a reference is held where a library file name is
// ("look:HASH/NAME"): a library file name never holds a '/', so the two
// never meet, and the name after the last '/' still names the reference
// (its caption, an export's suggested name).
class TDocumentCells {
public:
    // Keeps a cell and returns the reference that stands for it: the same
    // for the same name, hash and cell; another cell under a name and hash
    // already kept gets a reference of its own.
    QString Add(const std::string& name, const std::string& hash, const TImage& cell);
    // The cell of such a reference, or nullptr.
    const TImage* Find(const QString& reference) const;
    // The hash of such a reference's file as the document gave it.
    std::string HashOf(const QString& reference) const;

    static bool IsDocumentReference(const QString& reference);
    // The library file name the document gave ("Dune.jpeg").
    static QString NameOf(const QString& reference);

private:
    struct TEntry {
        TImage Cell;
        std::string Hash;
    };
    std::map<QString, TEntry> cells_;
};
