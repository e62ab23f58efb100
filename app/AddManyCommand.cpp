// The list's commands that add parcels by number: many numbers at once, and the question before
// a number that is in the list already is added again.
#include "app/HandlerGuard.h"
#include "app/ParcelListController.h"
#include "app/Prompts.h"
#include "parcels/AddManyDialog.h"
#include "parcels/NumberCheck.h"
#include "parcels/ParcelGrid.h"
#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"

#include <QApplication>
#include <QHash>
#include <QSet>

#include <vector>

namespace {

// The numbers stored now as the user compares them: blanks around them and the letter case do
// not count. True for a number whose every parcel is in the archive, where the user no longer
// sees it.
QHash<QString, bool> storedNumbers(ParcelStore& store)
{
    QHash<QString, bool> numbers;
    for (const Parcel& parcel : store.parcels()) {
        const QString number = parcel.number.trimmed().toUpper();
        const auto known = numbers.constFind(number);
        numbers.insert(number, parcel.archived && (known == numbers.constEnd() || *known));
    }
    return numbers;
}

QString named(const QString& number, const QHash<QString, bool>& stored)
{
    return stored.value(number) ? number + QStringLiteral(" (в архиве)") : number;
}

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

bool ParcelListController::addAgainAsked(const QString& number)
{
    // Raises with the store: the add then fails with its own box.
    if (!m_store)
        return true;
    const QHash<QString, bool> stored = storedNumbers(*m_store);
    const QString typed = number.trimmed().toUpper();
    if (!stored.contains(typed))
        return true;
    return m_prompts.askYesNo(
               QStringLiteral("Подтверждение"),
               QStringLiteral("Посылка с номером %1 уже есть в списке. Добавить её ещё раз?").arg(named(typed, stored)),
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
                [this](const QString& text) { m_guard.run([&] { m_prompts.showError(text); }); },
                [this] {
                    bool discard = false;
                    m_guard.run([&] {
                        discard = m_prompts.askYesNo(QStringLiteral("Подтверждение"),
                                                     QStringLiteral("Закрыть окно? Вставленные номера не будут "
                                                                    "добавлены."),
                                                     Prompts::Icon::Warning, Prompts::Button::No, m_addManyDialog)
                                  == Prompts::Button::Yes;
                    });
                    return discard;
                },
                m_views.window);
        m_addManyDialog->ask([this](const AddManyDialog::Batch& batch) {
            bool saved = false;
            m_guard.run([&] { saved = saveMany(batch); });
            return saved;
        });
    });
}

bool ParcelListController::saveMany(const AddManyDialog::Batch& batch)
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
        if (!m_store)
            throw ESQLiteException("The database is not open");
        // A number already stored (archived ones too), or met earlier in the list, is skipped
        // unless the user wants it anyway.
        const QHash<QString, bool> stored = storedNumbers(*m_store);
        QSet<QString> known(stored.keyBegin(), stored.keyEnd());
        QStringList fresh;
        QStringList repeated;
        for (const QString& number : read.numbers) {
            if (known.contains(number)) {
                repeated.push_back(named(number, stored));
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
