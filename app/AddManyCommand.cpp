#include "app/AddManyCommand.h"

#include "app/HandlerGuard.h"
#include "app/ParcelListController.h"
#include "app/Prompts.h"
#include "app/StoredNumbers.h"
#include "parcels/NumberCheck.h"
#include "parcels/ParcelGrid.h"
#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"

#include <QApplication>
#include <QSet>

#include <vector>

namespace {

// What a pasted text held besides numbers: the lines with none, the international numbers with a
// wrong count of digits, and the numbers whose check digit does not fit.
QString notReadText(const PastedNumbers& read)
{
    QStringList parts;
    if (!read.lines.isEmpty())
        parts += QStringLiteral("В этих строках нет номера посылки:\n") + Prompts::listed(read.lines);
    if (!read.wrongLength.isEmpty())
        parts += QStringLiteral("В этих номерах не 9 цифр, как в международном номере:\n")
                 + Prompts::listed(read.wrongLength);
    if (!read.badCheckDigit.isEmpty()) {
        QStringList typos;
        for (const QString& number : read.badCheckDigit)
            typos += QStringLiteral("%1 — контрольная цифра должна быть %2")
                         .arg(number)
                         .arg(*numbercheck::expectedCheckDigit(number));
        parts += QStringLiteral("Похоже, в этих номерах опечатка:\n") + Prompts::listed(typos);
    }
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace

AddManyCommand::AddManyCommand(ParcelListController& list, ParcelGrid& grid, Prompts& prompts,
                               const HandlerGuard& guard, QWidget* window)
    : m_list(list), m_grid(grid), m_prompts(prompts), m_guard(guard), m_window(window)
{
}

void AddManyCommand::run()
{
    m_guard.run([this] {
        if (m_list.commandsRefused())
            return;
        if (!m_dialog)
            m_dialog = new AddManyDialog(
                [this](const QString& text) { m_guard.run([&] { m_prompts.showError(text); }); },
                [this] {
                    bool discard = false;
                    m_guard.run([&] {
                        discard = m_prompts.askYesNo(QStringLiteral("Подтверждение"),
                                                     QStringLiteral("Закрыть окно? Вставленные номера не будут "
                                                                    "добавлены."),
                                                     Prompts::Icon::Warning, Prompts::Button::No, m_dialog)
                                  == Prompts::Button::Yes;
                    });
                    return discard;
                },
                m_window);
        m_dialog->ask([this](const AddManyDialog::Batch& batch) {
            bool saved = false;
            m_guard.run([&] { saved = save(batch); });
            return saved;
        });
    });
}

bool AddManyCommand::save(const AddManyDialog::Batch& batch)
{
    const PastedNumbers& read = batch.read;
    // What is no number is never added: the user adds the rest or goes back to the text.
    const QString notRead = notReadText(read);
    if (read.numbers.isEmpty()) {
        m_prompts.showMessage(QStringLiteral("В тексте нет номеров посылок.\n\n") + notRead, Prompts::Icon::Warning);
        return false;
    }
    if (!notRead.isEmpty()
        && m_prompts.askYesNo(QStringLiteral("Подтверждение"),
                              notRead
                                  + QStringLiteral("\n\nДобавить остальные номера (%1)? «Нет» — вернуться к тексту.")
                                        .arg(read.numbers.size()),
                              Prompts::Icon::Warning, Prompts::Button::No, QApplication::activeWindow())
               != Prompts::Button::Yes)
        return false;
    std::vector<std::int64_t> ids;
    try {
        ParcelStore* store = m_list.store();
        if (!store)
            throw ESQLiteException("The database is not open");
        // A number already stored (archived ones too), or met earlier in the list, is skipped
        // unless the user wants it anyway.
        const StoredNumbers stored(*store);
        const QList<QString> storedList = stored.numbers();
        QSet<QString> known(storedList.begin(), storedList.end());
        QStringList fresh;
        QStringList repeated;
        for (const QString& number : read.numbers) {
            if (known.contains(number)) {
                repeated.push_back(stored.named(number));
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
                    .arg(Prompts::listed(repeated)),
                Prompts::Icon::Warning, Prompts::Button::No, QApplication::activeWindow());
            if (answer == Prompts::Button::Yes)
                chosen = read.numbers;
        }
        if (chosen.isEmpty()) {
            m_prompts.showMessage(QStringLiteral("Новых номеров нет: ничего не добавлено."),
                                  Prompts::Icon::Information);
            return true;
        }
        std::vector<Parcel> parcels;
        parcels.reserve(std::size_t(chosen.size()));
        for (const QString& number : chosen)
            parcels.push_back(Parcel::typed(number, batch.shop, batch.title));
        // The window may have closed while a question was open.
        store = m_list.store();
        if (!store)
            throw ESQLiteException("The database is not open");
        ids = store->insertAll(parcels);
    } catch (...) {
        // Nothing was added: everything typed stays in the dialog.
        m_prompts.showError(QStringLiteral("Ошибка - Во время добавление данных возникла"), currentDatabaseErrorText());
        return false;
    }
    m_list.refreshRevealing(ids.front());
    // Every new parcel is selected, the first one's (empty) history shown.
    m_grid.selectParcels(ids);
    m_list.showHistory();
    return true;
}
