// The look document reader on any text. A document must be refused with
// EError or read; one that is read is written again, and what is written
// reads back to the same bytes.
#include <cstdint>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "grading/LookDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TLookDocument document;
    bool read = false;
    fuzz::ExpectOnlyEError("look document", [&] {
        document = LookDocumentFromText(text, "fuzz.olook");
        read = true;
    });
    if (!read) return 0;
    std::string written;
    try {
        written = LookDocumentText(document);
        const std::string again = LookDocumentText(LookDocumentFromText(written, "written.olook"));
        if (again != written) fuzz::Fail("look document", "a written document reads back to other bytes");
    } catch (const EError& error) {
        fuzz::Fail("look document", std::string("a document read cannot be written again: ") + error.what());
    }
    return 0;
}
