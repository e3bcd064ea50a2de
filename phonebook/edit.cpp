#include "phonebook/edit.h"

#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "base/text.h"
#include "contacts/checks.h"
#include "contacts/contact.h"
#include "contacts/edit.h"
#include "contacts/limits.h"
#include "phonebook/core.h"
#include "phonebook/panel.h"
#include "phonebook/phonebook.h"
#include "ui/toolkit.h"

namespace {

// The columns the find field looks in: ID, Name, Telefon.
const std::vector<int> FindColumns = {2, 3, 4};

int Widget(int panel, PanelWidget widget)
{
    return PanelWidgetNumber(panel, widget);
}

bool ValidPanel(int panel)
{
    return panel == 1 || panel == 2;
}

// The choices the dialog offers for a value: the router's values with their
// German words, then every other value the contact holds, as it is written.
struct Choices {
    std::vector<std::u16string> values;
    std::vector<std::u16string> labels;

    Choices(std::span<const ValueLabel> known)
    {
        for (const ValueLabel& v : known) {
            values.emplace_back(v.value);
            labels.emplace_back(v.label);
        }
    }
    int IndexOf(std::u16string_view value)
    {
        for (std::size_t i = 0; i < values.size(); ++i)
            if (values[i] == value)
                return static_cast<int>(i);
        values.emplace_back(value);
        labels.push_back(value.empty() ? u"(ohne)" : std::u16string(value));
        return static_cast<int>(values.size() - 1);
    }
    std::u16string ValueAt(int index) const
    {
        return index >= 0 && static_cast<std::size_t>(index) < values.size() ? values[static_cast<std::size_t>(index)]
                                                                            : values.front();
    }
};

// What the dialog edits of a contact, and how its answer goes back.
class ContactEditor {
public:
    ContactEditor(RecordList& book, RecordList::Node* contact)
        : numberTypes_(NumberTypeLabels), emailKinds_(EmailClassifierLabels), index_(book)
    {
        if (contact)
            ReadContact(contact, fields_);
    }

    ui::ContactForm Form()
    {
        ui::ContactForm form;
        form.name = fields_.name;
        form.vip = fields_.vip;
        for (std::size_t i = 0; i < fields_.numbers.size(); ++i) {
            const ContactNumber& n = fields_.numbers[i];
            form.numbers.push_back({n.text, numberTypes_.IndexOf(n.type), n.prio == u"1", n.quickdial, n.vanity,
                                    static_cast<int>(i)});
        }
        for (std::size_t i = 0; i < fields_.emails.size(); ++i) {
            const ContactEmail& e = fields_.emails[i];
            form.emails.push_back({e.text, emailKinds_.IndexOf(e.classifier), static_cast<int>(i)});
        }
        form.numberTypes = numberTypes_.labels;
        form.emailKinds = emailKinds_.labels;
        form.maxNumbers = static_cast<int>(ContactLimits::MaxNumbers);
        return form;
    }

    // The contact's fields with the form's values; every field the form
    // does not show stays as it was read.
    Contact Fields(const ui::ContactForm& form) const
    {
        Contact fields = fields_;
        fields.name = form.name;
        fields.vip = form.vip;
        fields.numbers.clear();
        for (const ui::ContactForm::Number& n : form.numbers) {
            ContactNumber number;
            if (n.source >= 0 && static_cast<std::size_t>(n.source) < fields_.numbers.size())
                number = fields_.numbers[static_cast<std::size_t>(n.source)];
            number.text = n.text;
            number.type = numberTypes_.ValueAt(n.type);
            // A number that stops being the main one says so; one that never
            // was keeps its prio as written.
            if (n.main)
                number.prio = u"1";
            else if (number.prio == u"1")
                number.prio = u"0";
            number.quickdial = n.quickdial;
            number.vanity = n.vanity;
            fields.numbers.push_back(std::move(number));
        }
        fields.emails.clear();
        for (const ui::ContactForm::Email& e : form.emails) {
            ContactEmail email;
            if (e.source >= 0 && static_cast<std::size_t>(e.source) < fields_.emails.size())
                email = fields_.emails[static_cast<std::size_t>(e.source)];
            email.text = e.text;
            email.classifier = emailKinds_.ValueAt(e.kind);
            fields.emails.push_back(std::move(email));
        }
        return fields;
    }

    // The findings about the form's contact against the rest of the book,
    // each beside its field.
    std::vector<ui::FormMessage> Check(const ui::ContactForm& form) const
    {
        std::vector<ui::FormMessage> messages;
        for (const CheckFinding& f : CheckContact(Fields(form), index_)) {
            ui::FormMessage& m = messages.emplace_back();
            switch (f.part) {
            case CheckPart::Contact: m.field = ui::FormMessage::Field::Contact; break;
            case CheckPart::Name: m.field = ui::FormMessage::Field::Name; break;
            case CheckPart::Number: m.field = ui::FormMessage::Field::Number; break;
            case CheckPart::Email: m.field = ui::FormMessage::Field::Email; break;
            }
            m.index = static_cast<int>(f.index);
            m.text = std::u16string(CheckSeverityText(f.severity())) + u": " + f.text;
            m.error = f.severity() == CheckSeverity::Error;
        }
        return messages;
    }

    bool Ask(const std::u16string& title, ui::ContactForm& form) const
    {
        return ui::ContactDialog(title, form, [this](const ui::ContactForm& f) { return Check(f); });
    }

private:
    Choices numberTypes_;
    Choices emailKinds_;
    CheckIndex index_;
    Contact fields_;
};

std::int64_t Now()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

// The contact of the list's row in the dialog; "OK" writes it back and
// renews the row's texts.
void EditRowContact(int panel, int row)
{
    PhonebookPanel& p = Panel(panel);
    const int list = Widget(panel, ContactListWidget);
    if (row < 0 || row >= ui::CountItems(list))
        return;
    const auto found = p.contactByKey.find(ui::GetItemKey(list, row));
    if (found == p.contactByKey.end())
        return;
    RecordList::Node* contact = found->second;

    ContactEditor editor(p.records, contact);
    ui::ContactForm form = editor.Form();
    if (!editor.Ask(u"Kontakt bearbeiten", form))
        return;
    Contact fields = editor.Fields(form);
    if (RefusesChange(CheckContact(fields, CheckIndex(p.records))))
        return;  // the dialog refuses it too
    if (!ApplyContactEdit(p.records, fields, Now()))
        return;
    ui::SetItemText(list, row, ContactRowText(contact));
    MarkPanelChanged(panel);
}

// The row with the focus mark when it is marked, else the first marked
// row; -1 when none is marked.
int MarkedRow(int panel)
{
    const int list = Widget(panel, ContactListWidget);
    const int current = ui::CurrentRow(list);
    if (current >= 0 && (ui::GetItemState(list, current) & ui::RowSelected))
        return current;
    for (int i = 0, n = ui::CountItems(list); i < n; ++i)
        if (ui::GetItemState(list, i) & ui::RowSelected)
            return i;
    return -1;
}

}  // namespace

void EditMarkedContact(int panel)
{
    if (ValidPanel(panel))
        EditRowContact(panel, MarkedRow(panel));
}

bool HasMarkedContact(int panel)
{
    return ValidPanel(panel) && MarkedRow(panel) >= 0;
}

void EditActivatedContact(int panel)
{
    if (ValidPanel(panel))
        EditRowContact(panel, ui::ActivatedRow(Widget(panel, ContactListWidget)));
}

void NewContact(int panel)
{
    if (!ValidPanel(panel))
        return;
    ui::ContactForm form;
    {
        ContactEditor editor(Panel(panel).records, nullptr);
        form = editor.Form();
        if (!editor.Ask(u"Neuer Kontakt", form))
            return;
    }
    // A panel without a book gets a new one, as "Neu" makes it.
    if (Panel(panel).records.Empty())
        NewPhonebook(panel);
    PhonebookPanel& p = Panel(panel);
    ContactEditor editor(p.records, nullptr);
    Contact fields = editor.Fields(form);
    if (RefusesChange(CheckContact(fields, CheckIndex(p.records))))
        return;
    RecordList::Node* contact = AddContactToBook(p.records, fields, Now(), PanelSuffix(panel));
    const std::uint64_t key = p.NewKey();
    p.contactByKey.emplace(key, contact);
    ui::AddItem(Widget(panel, ContactListWidget), -1, ContactRowText(contact), key);
    MarkPanelChanged(panel);
    UpdateCountLabel(panel);
}

void FindInPanel(int panel)
{
    if (!ValidPanel(panel))
        return;
    ui::FilterRows(Widget(panel, ContactListWidget), ui::GetText(Widget(panel, FindFieldWidget)), FindColumns);
    ShowFindCount(panel);
}

void ShowFindCount(int panel)
{
    if (!ValidPanel(panel))
        return;
    const int list = Widget(panel, ContactListWidget);
    const bool finding = !ui::GetText(Widget(panel, FindFieldWidget)).empty();
    ui::SetText(Widget(panel, FindCountWidget),
                finding ? DecimalText(ui::CountShownRows(list)) + u" von " + DecimalText(ui::CountItems(list))
                        : std::u16string());
}
