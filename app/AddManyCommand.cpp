// The list's commands that add parcels by number: many numbers at once, and the question before
// a number that is in the list already is added again.
#include "app/HandlerGuard.h"
#include "app/ParcelListController.h"
#include "app/Prompts.h"
#include "parcels/AddManyDialog.h"
#include "parcels/ParcelGrid.h"
#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"

#include <QApplication>
#include <QSet>

#include <vector>

namespace {

// The numbers stored now, as the user compares them: blanks around them do not count.
QSet<QString> storedNumbers(ParcelStore& store)
{
    QSet<QString> numbers;
    for (const Parcel& parcel : store.parcels())
        numbers.insert(parcel.number.trimmed());
    return numbers;
}

} // namespace

bool ParcelListController::addAgainAsked(const QString& number)
{
    // Raises with the store: the add then fails with its own box.
    if (!m_store || !storedNumbers(*m_store).contains(number.trimmed()))
        return true;
    return m_prompts.askYesNo(
               QStringLiteral("Подтверждение"),
               QStringLiteral("Посылка с номером %1 уже есть в списке. Добавить её ещё раз?").arg(number.trimmed()),
               Prompts::Icon::Warning, Prompts::Button::No, QApplication::activeWindow())
           == Prompts::Button::Yes;
}

void ParcelListController::addMany()
{
    m_guard.run([this] {
        if (refused())
            return;
        if (!m_addManyDialog)
            m_addManyDialog = new AddManyDialog(
                [this](const QString& text) { m_guard.run([&] { m_prompts.showError(text); }); }, m_views.window);
        m_addManyDialog->ask([this](const AddManyDialog::Batch& batch) {
            bool saved = false;
            m_guard.run([&] { saved = saveMany(batch.numbers, batch.shop, batch.title); });
            return saved;
        });
    });
}

bool ParcelListController::saveMany(const QStringList& numbers, const QString& shop, const QString& title)
{
    std::vector<std::int64_t> ids;
    try {
        if (!m_store)
            throw ESQLiteException("The database is not open");
        // A number already stored, or met earlier in the list, is skipped unless the user wants
        // it anyway.
        QSet<QString> known = storedNumbers(*m_store);
        QStringList fresh;
        QStringList repeated;
        for (const QString& number : numbers) {
            if (known.contains(number)) {
                repeated.push_back(number);
            } else {
                known.insert(number);
                fresh.push_back(number);
            }
        }
        QStringList chosen = fresh;
        if (!repeated.isEmpty()) {
            const auto answer = m_prompts.askYesNo(
                QStringLiteral("Подтверждение"),
                QStringLiteral("Эти номера уже есть в списке или повторяются в нём и будут пропущены:\n%1\n\n"
                               "Добавить их всё равно?")
                    .arg(repeated.join(u'\n')),
                Prompts::Icon::Warning, Prompts::Button::No, QApplication::activeWindow());
            if (answer == Prompts::Button::Yes)
                chosen = numbers;
        }
        if (chosen.isEmpty()) {
            m_prompts.showMessage(QStringLiteral("Новых номеров нет: ничего не добавлено."),
                                  Prompts::Icon::Information);
            return true;
        }
        std::vector<Parcel> parcels;
        parcels.reserve(std::size_t(chosen.size()));
        for (const QString& number : chosen)
            parcels.push_back(Parcel::typed(number, shop, title));
        ids = m_store->insertAll(parcels);
    } catch (...) {
        // Nothing was added: everything typed stays in the dialog.
        m_prompts.showError(QStringLiteral("Ошибка - Во время добавление данных возникла"), currentDatabaseErrorText());
        return false;
    }
    m_addedParcelId = ids.front();
    refresh();
    // Every new parcel is selected, the first one's (empty) history shown.
    m_views.grid->selectParcels(ids);
    showHistory();
    return true;
}
