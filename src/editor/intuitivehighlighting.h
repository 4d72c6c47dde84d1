// Intuitive highlighting: every fourth word of the text set in bold, so that the text can be skimmed.
#pragma once

#include <QStringView>
#include <chrono>
#include <functional>
#include <vector>

class QTextDocument;

namespace velmira {

// A stretch of text in the program's character positions (a line break counts as CR LF).
struct TextSpan
{
    int start = 0;
    int length = 0;

    friend bool operator==(const TextSpan &, const TextSpan &) = default;
};

// The tokens of `text` that intuitive highlighting sets in bold, in order. `text` is the program's plain
// text, a line break written as CR LF. Only the space (code 32) separates tokens: token 1 runs from the
// start of the text to the first space, token k from the (k-1)-th to the k-th space, so two spaces in a
// row enclose an empty token. Tokens 1, 5, 9, ... are the candidates, and a candidate is marked when it
// has more than 3 characters (a line break inside it counts as two). The text after the last space is
// never a candidate.
std::vector<TextSpan> intuitiveMarks(QStringView text);

enum class HighlightOutcome { Completed, Cancelled };

// Called while a run goes on, at least every turn interval, with the position the scan has reached and
// the length of the text, both in the program's character positions (a line break counts as CR LF).
// Returns false to stop the run.
using HighlightTurn = std::function<bool(int position, int length)>;

// Removes bold from the whole document and then, when `mark` is true, sets the tokens of intuitiveMarks
// in bold. Only the weight changes: italic, underline, strike-out, fonts, sizes and colours stay as each
// character has them, and pictures are left alone. The whole run is one step of the undo history, and
// the document is laid out again once, at its end, from its start and a piece at a time between the
// window's events (see DeferredLayout).
//
// `turn` is called whenever `interval` has passed since the last call (so the caller can keep its
// window alive and offer a way to stop). When it returns false while bold is being removed, the removal
// is finished and nothing is marked; while marking, the run ends at once and the marks set so far stay.
// Returns Cancelled when `turn` stopped the run.
HighlightOutcome intuitiveHighlight(QTextDocument &document, bool mark, const HighlightTurn &turn,
                                    std::chrono::milliseconds interval = std::chrono::milliseconds(30));

} // namespace velmira
