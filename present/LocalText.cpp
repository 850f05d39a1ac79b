#include "present/LocalText.h"

namespace zorflash {

CLocalText::CLocalText(std::string verbatim)
{
    if (!verbatim.empty())
        m_pieces.push_back({Piece::Kind::Verbatim, {}, std::move(verbatim), {}, {}});
}

CLocalText::CLocalText(const char* verbatim) : CLocalText(std::string(verbatim ? verbatim : "")) {}

CLocalText CLocalText::Say(CDisplayTexts::Id id, std::initializer_list<CLocalText> values)
{
    CLocalText text;
    text.m_pieces.push_back({Piece::Kind::Said, id, {}, {}, std::vector<CLocalText>(values)});
    return text;
}

CLocalText CLocalText::Both(std::string english, std::string japanese)
{
    CLocalText text;
    text.m_pieces.push_back({Piece::Kind::Both, {}, std::move(english), std::move(japanese), {}});
    return text;
}

std::string CLocalText::Text(Language language) const
{
    std::string text;
    for (const Piece& piece : m_pieces) {
        if (piece.kind != Piece::Kind::Said) {
            const bool japanese = piece.kind == Piece::Kind::Both && language == Language::Japanese;
            text += japanese ? piece.japanese : piece.verbatim;
            continue;
        }
        // The values are worded first: a value's own text may hold "{}" (a path could),
        // which must not be taken for a place of the sentence around it.
        std::string sentence = CDisplayTexts::Text(piece.id, language);
        std::size_t at = 0;
        for (const CLocalText& value : piece.values) {
            at = sentence.find("{}", at);
            if (at == std::string::npos)
                break;
            const std::string worded = value.Text(language);
            sentence.replace(at, 2, worded);
            at += worded.size();
        }
        text += sentence;
    }
    return text;
}

CLocalText& CLocalText::operator+=(const CLocalText& more)
{
    m_pieces.insert(m_pieces.end(), more.m_pieces.begin(), more.m_pieces.end());
    return *this;
}

}  // namespace zorflash
