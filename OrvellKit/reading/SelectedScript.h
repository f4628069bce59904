#pragma once

#include <QObject>
#include <QString>

#include <optional>

// The script being read, as the island and the guides see it: its text and
// its target time. The app hands in the library's selection; a replay or a
// test hands a text straight in.
class SelectedScript : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    virtual QString text() const = 0;
    virtual std::optional<double> targetSeconds() const = 0;
    // Which script it is: a new text under the same identity is an edit,
    // read on from the same words; another identity starts from the top.
    virtual QString identity() const = 0;

signals:
    // The text, the target or the selection may have changed.
    void changed();
};

// A text that is not in the library.
class FixedScript : public SelectedScript {
    Q_OBJECT

public:
    explicit FixedScript(QString text, std::optional<double> targetSeconds = std::nullopt,
                         QObject *parent = nullptr)
        : SelectedScript(parent)
        , m_text(std::move(text))
        , m_target(targetSeconds) {}

    QString text() const override { return m_text; }
    std::optional<double> targetSeconds() const override { return m_target; }
    QString identity() const override { return QStringLiteral("fixed"); }

private:
    QString m_text;
    std::optional<double> m_target;
};
