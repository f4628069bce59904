#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <optional>

// One row of an enum's table: the value, the name it is stored and sent
// under, and the title a person sees.
template <typename E>
struct EnumName {
    E value;
    const char *name;
    const char *title;
};

// An enum's names and titles in one table, in the order menus list them:
//
//     inline constexpr EnumName<PauseStyle> rows[] = {{PauseStyle::subtle, "subtle", "Subtle"}, ...};
//     inline constexpr EnumNames names{rows};
template <typename E, std::size_t N>
class EnumNames {
public:
    constexpr explicit EnumNames(const EnumName<E> (&rows)[N]) {
        for (std::size_t i = 0; i < N; ++i)
            m_rows[i] = rows[i];
    }

    QList<E> values() const {
        QList<E> all;
        all.reserve(N);
        for (const EnumName<E> &row : m_rows)
            all << row.value;
        return all;
    }
    // Empty for a value the table does not hold.
    QString name(E value) const {
        const EnumName<E> *row = find(value);
        return row ? QString::fromLatin1(row->name) : QString();
    }
    QString title(E value) const {
        const EnumName<E> *row = find(value);
        return row ? QString::fromUtf8(row->title) : QString();
    }
    // Names are matched exactly: what is stored is what was written.
    std::optional<E> parse(QStringView name) const {
        for (const EnumName<E> &row : m_rows)
            if (name == QLatin1StringView(row.name))
                return row.value;
        return std::nullopt;
    }

private:
    const EnumName<E> *find(E value) const {
        for (const EnumName<E> &row : m_rows)
            if (row.value == value)
                return &row;
        return nullptr;
    }

    std::array<EnumName<E>, N> m_rows{};
};

template <typename E, std::size_t N>
EnumNames(const EnumName<E> (&)[N]) -> EnumNames<E, N>;
