#include "app/DocumentCells.h"

namespace {

const QString kPrefix = QStringLiteral("look:");
// As much of the hash as tells documents' references of one name apart.
constexpr int kHashDigits = 16;

}  // namespace

QString TDocumentCells::Add(const std::string& name, const std::string& hash, const TImage& cell) {
    const QString stem = kPrefix + QString::fromStdString(hash).left(kHashDigits);
    QString reference = stem + '/' + QString::fromStdString(name);
    // Another cell under the same name and hash (a document without a hash)
    // gets a reference of its own.
    for (int other = 1; cells_.count(reference) && !cells_.at(reference).Cell.SamePixels(cell); ++other)
        reference = stem + '~' + QString::number(other) + '/' + QString::fromStdString(name);
    cells_[reference] = TEntry{cell.Clone(), hash};
    return reference;
}

const TImage* TDocumentCells::Find(const QString& reference) const {
    const auto found = cells_.find(reference);
    return found == cells_.end() ? nullptr : &found->second.Cell;
}

std::string TDocumentCells::HashOf(const QString& reference) const {
    const auto found = cells_.find(reference);
    return found == cells_.end() ? std::string() : found->second.Hash;
}

bool TDocumentCells::IsDocumentReference(const QString& reference) {
    return reference.startsWith(kPrefix) && reference.contains('/');
}

QString TDocumentCells::NameOf(const QString& reference) {
    return IsDocumentReference(reference) ? reference.mid(reference.lastIndexOf('/') + 1) : reference;
}
