#include "xml/well_formed_scan.h"

#include "xml/markup_bytes.h"

namespace crv {

using namespace markup;

// ------------------------------------------------------------------ the walk

WellFormedScan::Event WellFormedScan::scan(std::string_view text, bool complete)
{
    complete_ = complete;
    if (rootClosedNext_) {
        rootClosedNext_ = false;
        rootClosed_ = true;
        return Event::RootClosed;
    }
    switch (phase_) {
    case Phase::Prolog:
    case Phase::Epilog: return outsideRoot(text);
    case Phase::Content: return content(text);
    case Phase::Done: return Event::End;
    case Phase::Failed: return Event::Fault;
    }
    return Event::Fault;
}

void WellFormedScan::shift(std::size_t dropped)
{
    pos_ -= dropped;
    if (depth_ >= 2) childStart_ -= dropped;
    for (OpenName& open : open_) open.at -= dropped;
    start_ = start_ >= dropped ? start_ - dropped : 0;
    end_ = end_ >= dropped ? end_ - dropped : 0;
}

void WellFormedScan::supplyRoot(std::string_view name)
{
    rootName_.assign(name);
    depth_ = 1;
    phase_ = Phase::Content;
    asked_ = false;
    atStart_ = false;
}

WellFormedScan::Event WellFormedScan::ask(Found found, std::string_view name)
{
    asked_ = true;
    found_ = found;
    foundName_.assign(name);
    return Event::PrologEnd;
}

void WellFormedScan::passed(std::size_t to)
{
    pos_ = to;
    atStart_ = false;
    asked_ = false;
}

WellFormedScan::Event WellFormedScan::outcome(Step step)
{
    return step == Step::Cut ? Event::NeedText : Event::Fault;
}

// Before and after the root: an XML declaration at the very start,
// comments, instructions and blanks. Before it, what stands else is the
// root; after it, a fault.
WellFormedScan::Event WellFormedScan::outsideRoot(std::string_view text)
{
    const bool before = phase_ == Phase::Prolog;
    const std::size_t n = text.size();
    for (;;) {
        std::size_t i = pos_;
        while (i < n && isSpace(static_cast<unsigned char>(text[i]))) ++i;
        if (i != pos_) passed(i);
        if (i == n) {
            if (!complete_) return Event::NeedText;
            if (!before) {
                phase_ = Phase::Done;
                return Event::End;
            }
            if (!asked_) return ask(Found::Nothing, {});
            return outcome(failAt(n, kRadiceMancante));
        }
        if (text[i] != '<' || startsWithAt(text, i, "<![CDATA[")) {
            if (before && !asked_) return ask(Found::Text, {});
            return outcome(failAt(i, kTestoFuoriRadice));
        }
        if (i + 1 == n) return outcome(cutOff(text, kTagNonRiconosciuto));
        const char next = text[i + 1];
        Step step = Step::Done;
        if (next == '?') {
            step = instruction(text);
        } else if (next == '!') {
            step = bang(text, false);
        } else if (next == '/') {
            step = strayEndTag(text);
        } else {
            const std::size_t nameStop = nameEnd(text, i + 1);
            if (nameStop == i + 1) return outcome(failAt(i + 1, kTagNonRiconosciuto));
            if (!before) return outcome(failAt(i, kSecondaRadice));
            return root(text, nameStop);
        }
        if (step != Step::Done) return outcome(step);
        passed(end_);
    }
}

// The element where the root should begin, its name ending at nameStop.
WellFormedScan::Event WellFormedScan::root(std::string_view text, std::size_t nameStop)
{
    const std::size_t i = pos_;
    if (nameStop == text.size() && !complete_) return Event::NeedText;
    if (!asked_) return ask(Found::Element, text.substr(i + 1, nameStop - i - 1));
    bool selfClosed = false;
    const Step step = startTag(text, selfClosed, nameStop);
    if (step != Step::Done) return outcome(step);
    start_ = i;
    passed(end_);
    selfClosed_ = selfClosed;
    if (selfClosed) {
        phase_ = Phase::Epilog;
        rootClosedNext_ = true;
    } else {
        openElement(text, i + 1, nameStop - i - 1);
        phase_ = Phase::Content;
    }
    return Event::RootOpened;
}

// Inside the root: text, references, elements, comments, instructions and
// CDATA sections, each checked once.
WellFormedScan::Event WellFormedScan::content(std::string_view text)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    for (;;) {
        const std::size_t i = skipPlain(d, pos_, n, kTextStops);
        pos_ = i;
        if (i == n) {
            if (complete_) return endOfContent(text);
            // The last character is kept: a file that ends here has its
            // fault placed on it. Checked again, it is plain text.
            if (n > 0) pos_ = lastCharacter(text);
            return Event::NeedText;
        }
        const unsigned char c = d[i];
        if (c == '<') {
            if (i + 1 == n) return outcome(cutOff(text, kTagNonRiconosciuto));
            const unsigned char next = d[i + 1];
            // Most tags are a name alone: the open element's name and '>' end
            // it, or a name and '>' open one. Checked here, without more.
            if (next == '/' && depth_ >= 2) {
                const OpenName open = open_.back();
                const std::size_t stop = i + 2 + open.size;
                if (stop < n && d[stop] == '>' && sameBytes(text.data() + i + 2, text.data() + open.at, open.size, n - i >= 18)) {
                    open_.pop_back();
                    --depth_;
                    pos_ = stop + 1;
                    if (depth_ > 1) continue;
                    start_ = childStart_;
                    end_ = pos_;
                    return Event::ChildClosed;
                }
            }
            std::size_t known = 0;  // where the start tag's name ends, once found
            if (kNameStartBytes[next] == 1) {
                known = nameEnd(text, i + 1);
                if (known < n && d[known] == '>') {
                    if (depth_ == 1) childStart_ = i;
                    open_.push_back({i + 1, known - i - 1});
                    ++depth_;
                    pos_ = known + 1;
                    continue;
                }
            }
            Step step = Step::Done;
            if (next == '/') {
                step = endTag(text);
                if (step == Step::Done) {
                    closeElement();
                    pos_ = end_;
                    if (depth_ == 1) {
                        start_ = childStart_;
                        return Event::ChildClosed;
                    }
                    if (depth_ == 0) {
                        start_ = i;
                        rootClosed_ = true;
                        phase_ = Phase::Epilog;
                        return Event::RootClosed;
                    }
                    continue;
                }
            } else if (next == '!') {
                step = bang(text, true);
            } else if (next == '?') {
                step = instruction(text);
            } else {
                bool selfClosed = false;
                step = startTag(text, selfClosed, known);
                if (step == Step::Done) {
                    pos_ = end_;
                    if (selfClosed) {
                        if (depth_ > 1) continue;
                        start_ = i;
                        return Event::ChildClosed;
                    }
                    if (depth_ == 1) childStart_ = i;
                    openElement(text, i + 1, tagNameEnd_ - i - 1);
                    continue;
                }
            }
            if (step != Step::Done) return outcome(step);
            pos_ = end_;
            continue;
        }
        if (c == '&') {
            std::size_t after = 0;
            const Step step = reference(text, i, after);
            if (step == Step::Done) {
                pos_ = after;
                continue;
            }
            if (step == Step::Failed) return Event::Fault;
            return complete_ ? endOfContent(text) : Event::NeedText;
        }
        if (c == ']') {
            if (i + 2 >= n && !complete_) return Event::NeedText;
            if (i + 2 < n && d[i + 1] == ']' && d[i + 2] == '>') return outcome(failAt(i, kFineCDataNelTesto));
            pos_ = i + 1;
            continue;
        }
        std::size_t after = 0;
        const Step step = character(text, i, after);
        if (step != Step::Done) return outcome(step);
        pos_ = after;
    }
}

// The file ends in the root's content, at pos_.
WellFormedScan::Event WellFormedScan::endOfContent(std::string_view text)
{
    if (depth_ == 1 && rootEndOptional_) {
        // What is left must be whole: a reference the end cuts is none.
        if (pos_ < text.size())
            return outcome(malformedReference(text, pos_));
        phase_ = Phase::Done;
        return Event::End;
    }
    return outcome(failAt(lastCharacter(text), kElementoNonChiuso));
}

// ------------------------------------------------------------------ faults and names

WellFormedScan::Step WellFormedScan::failAt(std::size_t offset, std::string reason)
{
    phase_ = Phase::Failed;
    fault_ = MarkupFault{offset, std::move(reason)};
    return Step::Failed;
}

WellFormedScan::Step WellFormedScan::cutOff(std::string_view text, const char* reason)
{
    if (!complete_) return Step::Cut;
    return failAt(lastCharacter(text), reason);
}

void WellFormedScan::openElement(std::string_view text, std::size_t at, std::size_t size)
{
    if (depth_ == 0)
        rootName_.assign(text.substr(at, size));
    else
        open_.push_back({at, size});
    ++depth_;
}

void WellFormedScan::closeElement()
{
    if (depth_ >= 2) open_.pop_back();
    --depth_;
}

std::string_view WellFormedScan::topName(std::string_view text) const
{
    if (depth_ <= 1) return rootName_;
    return text.substr(open_.back().at, open_.back().size);
}

}  // namespace crv
