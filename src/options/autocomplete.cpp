#include "autocomplete.h"

#include "completion_service.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>
#include <QUrl>

#include <memory>

namespace autocomplete {
namespace {

const QString kCompleterName = QStringLiteral("addressCompleter");

// One service per process, started by the first field that gets completion.
std::unique_ptr<CompletionService> &ServiceSlot()
{
    static std::unique_ptr<CompletionService> service;
    return service;
}

int &ListLimit()
{
    static int limit = AddressList::kDefaultLimit;
    return limit;
}

// Fields that have completion now. The service lives while there is one:
// when the last goes (the window that held it closed), what it keeps in
// memory goes with it.
int &AttachedFields()
{
    static int count = 0;
    return count;
}

CompletionService &Service()
{
    std::unique_ptr<CompletionService> &slot = ServiceSlot();
    if (!slot)
        slot =
            std::make_unique<CompletionService>(CompletionService::DefaultDataDir(), ListLimit());
    return *slot;
}

} // namespace

void MakeAutoComplete(QLineEdit *field)
{
    if (!field || HasAutoComplete(field))
        return;
    Service();
    ++AttachedFields();
    QObject::connect(field, &QObject::destroyed, [] {
        if (--AttachedFields() == 0)
            ServiceSlot().reset();
    });

    auto *model = new QStringListModel(field);
    auto *completer = new QCompleter(model, field);
    completer->setObjectName(kCompleterName);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchStartsWith);
    completer->setMaxVisibleItems(12);
    if (auto *list = qobject_cast<QListView *>(completer->popup()))
        list->setUniformItemSizes(true);
    completer->popup()->setObjectName(QStringLiteral("addressCompleterList"));

    // The line edit announces the edit before it asks the completer to
    // complete, so the list is up to date when the popup is filtered.
    QObject::connect(field, &QLineEdit::textEdited, model, [model](const QString &text) {
        model->setStringList(Service().Candidates(text));
    });
    field->setCompleter(completer);
}

bool HasAutoComplete(const QLineEdit *field)
{
    return field && field->completer() && field->completer()->objectName() == kCompleterName;
}

void NoteAddressSent(QLineEdit *field)
{
    if (HasAutoComplete(field))
        Service().RememberTyped(field->text());
}

void NoteAddressVisited(const QUrl &url)
{
    if (AttachedFields() > 0)
        Service().RememberVisited(url);
}

namespace seam {

void ForgetState()
{
    ServiceSlot().reset();
}

void SetListLimit(int limit)
{
    ListLimit() = limit > 0 ? limit : AddressList::kDefaultLimit;
}

} // namespace seam

} // namespace autocomplete
