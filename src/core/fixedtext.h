#pragma once

#include <QString>

// A text with a fixed capacity of N characters: a longer value is cut to its first N
// characters when it is stored, silently, as the job record's fields have always behaved.
// A surrogate pair is never split: the cut then keeps one character less.
template <int N> class FixedText
{
public:
    static constexpr int kCapacity = N;

    FixedText() = default;
    FixedText(const QString &text)
        : m_text(cut(text))
    { } // NOLINT: implicit on purpose
    FixedText &operator=(const QString &text)
    {
        m_text = cut(text);
        return *this;
    }

    operator const QString &() const { return m_text; } // NOLINT: reads like a QString
    const QString &text() const { return m_text; }
    bool isEmpty() const { return m_text.isEmpty(); }
    qsizetype size() const { return m_text.size(); }

    friend bool operator==(const FixedText &a, const FixedText &b) { return a.m_text == b.m_text; }
    friend bool operator==(const FixedText &a, QStringView b) { return QStringView(a.m_text) == b; }
    friend bool operator==(const FixedText &a, const QString &b) { return a.m_text == b; }

private:
    static QString cut(const QString &text)
    {
        if (text.size() <= N)
            return text;
        qsizetype length = N;
        if (text.at(length - 1).isHighSurrogate())
            --length;
        return text.left(length);
    }

    QString m_text;
};
