#pragma once
// String lists of the class library. TStrings is the abstract list that controls
// publish (a combo box's Items, a memo's Lines); TStringList keeps its strings itself.
// Indexes out of range raise EStringListError ("List index out of bounds (n)").

#include "Exceptions.h"

#include <QString>
#include <QStringList>

namespace forms {

class EStringListError : public Exception {
public:
    using Exception::Exception;
};

class TStrings {
public:
    virtual ~TStrings() = default;

    virtual int Count() const = 0;
    virtual QString Get(int index) const = 0;
    virtual void Put(int index, const QString &s) = 0;
    virtual void Insert(int index, const QString &s) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    // Bracket many changes; a control may defer its repaint until EndUpdate.
    virtual void BeginUpdate() { ++updateCount_; }
    virtual void EndUpdate() {
        if (updateCount_ > 0) --updateCount_;
    }

    QString Strings(int index) const { return Get(index); }
    QString operator[](int index) const { return Get(index); }
    // Appends and returns the new string's index.
    int Add(const QString &s) {
        const int i = Count();
        Insert(i, s);
        return i;
    }
    void AddStrings(const TStrings &other) {
        for (int i = 0; i < other.Count(); ++i) Add(other.Get(i));
    }
    void Assign(const TStrings &other) {
        BeginUpdate();
        Clear();
        AddStrings(other);
        EndUpdate();
    }
    // First index of `s` (case-insensitive, as the class library compares), or -1.
    int IndexOf(const QString &s) const {
        for (int i = 0; i < Count(); ++i)
            if (Get(i).compare(s, Qt::CaseInsensitive) == 0) return i;
        return -1;
    }
    // The strings, each followed by CR LF.
    QString Text() const {
        QString t;
        for (int i = 0; i < Count(); ++i) t += Get(i) + QStringLiteral("\r\n");
        return t;
    }
    // Splits at CR LF, LF or CR.
    void SetText(const QString &text) {
        BeginUpdate();
        Clear();
        QString t = text;
        t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QStringList lines = t.split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        for (const QString &l : lines) Add(l);
        EndUpdate();
    }
    QStringList ToStringList() const {
        QStringList l;
        for (int i = 0; i < Count(); ++i) l << Get(i);
        return l;
    }

protected:
    [[noreturn]] static void IndexError(int index) {
        throw EStringListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    }
    int UpdateCount() const { return updateCount_; }

private:
    int updateCount_ = 0;
};

class TStringList : public TStrings {
public:
    TStringList() = default;
    explicit TStringList(const QStringList &l) : list_(l) {}

    int Count() const override { return int(list_.size()); }
    QString Get(int index) const override {
        if (index < 0 || index >= Count()) IndexError(index);
        return list_.at(index);
    }
    void Put(int index, const QString &s) override {
        if (index < 0 || index >= Count()) IndexError(index);
        list_[index] = s;
    }
    void Insert(int index, const QString &s) override {
        if (index < 0 || index > Count()) IndexError(index);
        list_.insert(index, s);
    }
    void Delete(int index) override {
        if (index < 0 || index >= Count()) IndexError(index);
        list_.removeAt(index);
    }
    void Clear() override { list_.clear(); }

    const QStringList &List() const { return list_; }

private:
    QStringList list_;
};

} // namespace forms
