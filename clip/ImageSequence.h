#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Image sequences: one picture file a frame, numbered in the file names.
// A sequence is named by a pattern: "plate.%04d.exr" (printf's %d or %0Nd,
// "%%" for a percent sign, '#' a plain character) or "shot_#####.dpx" (in a
// name without '%': one digit a '#'), the
// placeholder in the file's name (not its folder). A number shorter than the
// width is padded with zeros; a longer one is written whole. A name that is
// an existing file is that file, never a pattern; a name whose '%' is no
// placeholder ("50%.png") is no pattern.
//
// A sequence's frames are counted from its first file as frame 0, as a
// clip's are; the files' own numbers name them in messages and number the
// frames of a sequence written from it.
class TSequencePattern {
public:
    // The pattern a name holds, or nothing when it is none.
    static std::optional<TSequencePattern> Parse(const std::string& name);
    // The pattern of the numbered run a file belongs to: its name's last run
    // of digits becomes the placeholder ("shot_0001.dpx" -> "shot_%04d.dpx").
    static std::optional<TSequencePattern> OfNumberedFile(const std::string& fileName);

    // The file of a number.
    std::string FileName(std::int64_t number) const;
    // The number a file name (without its folder) gives, or nothing.
    std::optional<std::int64_t> NumberOf(const std::string& name) const;
    const std::string& Folder() const { return folder_; }
    // The pattern as the user wrote it.
    const std::string& Text() const { return text_; }
    // The pattern written with printf's placeholder ("shot_%04d.dpx"), which
    // Parse reads back as this pattern.
    std::string PrintfText() const;

private:
    std::string text_;
    std::string folder_;  // with its closing '/', or empty
    std::string prefix_;
    std::string suffix_;
    int width_ = 1;
};

// The files a pattern finds: numbers first to last, every one present.
struct TSequenceRun {
    std::int64_t First = 0;
    std::int64_t Count = 0;
};
// Lists the pattern's folder. EError naming the pattern when no file
// matches, and naming the first missing file when the numbers have a gap.
// Memory does not grow with the number of files.
TSequenceRun FindSequenceRun(const TSequencePattern& pattern);

// The frame rate sequences are given (--fps; 24 unless set): a whole or
// decimal number of frames a second ("24", "25", "23.976", "29.97"), or a
// fraction ("24000/1001"). EError for anything else.
struct TSequenceRate {
    int Numerator = 24;
    int Denominator = 1;
};
TSequenceRate ParseSequenceRate(const std::string& text);
void SetSequenceRate(const TSequenceRate& rate);
TSequenceRate SequenceRate();

// The pattern, written with printf's placeholder, of the run a numbered
// picture file belongs to ("in/shot_0001.dpx" -> "in/shot_%04d.dpx");
// nothing for a name without a number or of no picture type read.
std::optional<std::string> RunPatternOf(const std::string& fileName);

// Makes a numbered file open as the whole run it belongs to (--sequence),
// for this process; an empty name forgets it.
void OpenRunOfFile(const std::string& fileName);

// The sequence a name opens as: a pattern that is not an existing file, or
// the file given to OpenRunOfFile. Nothing for any other name, or when the
// pattern's files are not pictures the program reads.
std::optional<TSequencePattern> SequenceOfName(const std::string& name);
