// The contact dialog: a contact's name, numbers and addresses as a form,
// checked as the user types, and the seam through which tests answer it.
//
// Its widgets carry object names for tests: "name", "vip", "ok", "cancel",
// "addNumber", "addEmail", "contactMessage", and per number row i
// "number-i", "type-i", "main-i", "quickdial-i", "vanity-i",
// "removeNumber-i", "numberMessage-i", per address row i "email-i",
// "kind-i", "removeEmail-i", "emailMessage-i".
#include "ui/qt_internal.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace ui {

using namespace impl;

namespace {

constexpr Colour ErrorColour = Rgb(192, 0, 0);
constexpr Colour WarningColour = Rgb(138, 90, 0);
constexpr Colour ErrorFieldColour = Rgb(255, 220, 220);

// Column widths of the number and address rows, so that they line up under
// their headings.
constexpr int NumberWidth = 190;
constexpr int TypeWidth = 140;
constexpr int MainWidth = 95;
constexpr int QuickdialWidth = 70;
constexpr int VanityWidth = 100;
constexpr int RemoveWidth = 80;
constexpr int MessageWidth = 280;
constexpr int EmailWidth = NumberWidth + TypeWidth + MainWidth;

bool AnyError(const std::vector<FormMessage>& messages)
{
    return std::any_of(messages.begin(), messages.end(), [](const FormMessage& m) { return m.error; });
}

QLabel* MessageLabel(QWidget* parent, int width)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    if (width > 0) {
        // The dialog keeps room for it from the start.
        label->setFixedWidth(width);
        QSizePolicy policy = label->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        label->setSizePolicy(policy);
    }
    label->hide();
    return label;
}

// Shows the messages meant for one place in label, in red when one of them
// is an error; field, when given, takes a red background then.
void ShowMessages(QLabel* label, const std::vector<const FormMessage*>& messages, QLineEdit* field = nullptr)
{
    QString text;
    bool error = false;
    for (const FormMessage* m : messages) {
        if (!text.isEmpty())
            text += u'\n';
        text += Q(m->text);
        error |= m->error;
    }
    label->setText(text);
    label->setVisible(!text.isEmpty());
    SetRoles(label, {QPalette::WindowText}, error ? ErrorColour : WarningColour);
    if (field)
        SetRoles(field, {QPalette::Base}, error ? ErrorFieldColour : DefaultColour);
}

QPushButton* PlainButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

class ContactDialogWidget : public QDialog {
public:
    ContactDialogWidget(const std::u16string& title, const ContactForm& form, const FormCheck& check, QWidget* owner)
        : QDialog(owner), form_(form), check_(check)
    {
        setWindowTitle(Q(title));
        auto* outer = new QVBoxLayout(this);
        auto* scroll = new QScrollArea(this);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        auto* content = new QWidget(scroll);
        auto* layout = new QVBoxLayout(content);
        layout->setSizeConstraint(QLayout::SetMinAndMaxSize);

        // Name and VIP.
        auto* nameLine = new QHBoxLayout;
        auto* nameCaption = new QLabel(QStringLiteral("Name:"), content);
        name_ = new QLineEdit(Q(form.name), content);
        name_->setObjectName(QStringLiteral("name"));
        name_->setMinimumWidth(NumberWidth + TypeWidth);
        nameCaption->setBuddy(name_);
        nameMessage_ = MessageLabel(content, MessageWidth);
        nameLine->addWidget(nameCaption);
        nameLine->addWidget(name_, 1);
        nameLine->addWidget(nameMessage_);
        layout->addLayout(nameLine);
        vip_ = new QCheckBox(QStringLiteral("VIP"), content);
        vip_->setObjectName(QStringLiteral("vip"));
        vip_->setChecked(form.vip);
        layout->addWidget(vip_);

        // Numbers.
        layout->addSpacing(8);
        layout->addWidget(Heading(QStringLiteral("Rufnummern"), content));
        layout->addLayout(Headings(content, {{QStringLiteral("Rufnummer"), NumberWidth},
                                             {QStringLiteral("Typ"), TypeWidth},
                                             {QStringLiteral("Hauptnummer"), MainWidth},
                                             {QStringLiteral("Kurzwahl"), QuickdialWidth},
                                             {QStringLiteral("Vanity"), VanityWidth}}));
        numbersBox_ = new QVBoxLayout;
        layout->addLayout(numbersBox_);
        addNumber_ = PlainButton(QStringLiteral("Rufnummer hinzufügen"), content);
        addNumber_->setObjectName(QStringLiteral("addNumber"));
        layout->addWidget(addNumber_, 0, Qt::AlignLeft);

        // Addresses.
        layout->addSpacing(8);
        layout->addWidget(Heading(QStringLiteral("E-Mail-Adressen"), content));
        layout->addLayout(Headings(content, {{QStringLiteral("E-Mail-Adresse"), EmailWidth},
                                             {QStringLiteral("Art"), TypeWidth}}));
        emailsBox_ = new QVBoxLayout;
        layout->addLayout(emailsBox_);
        addEmail_ = PlainButton(QStringLiteral("E-Mail-Adresse hinzufügen"), content);
        addEmail_->setObjectName(QStringLiteral("addEmail"));
        layout->addWidget(addEmail_, 0, Qt::AlignLeft);

        contactMessage_ = MessageLabel(content, 0);
        contactMessage_->setObjectName(QStringLiteral("contactMessage"));
        layout->addSpacing(8);
        layout->addWidget(contactMessage_);
        layout->addStretch(1);

        scroll->setWidget(content);
        outer->addWidget(scroll, 1);
        auto* buttons = new QDialogButtonBox(this);
        ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
        ok_->setObjectName(QStringLiteral("ok"));
        ok_->setDefault(true);
        auto* cancel = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
        cancel->setObjectName(QStringLiteral("cancel"));
        cancel->setAutoDefault(false);
        outer->addWidget(buttons);

        for (const ContactForm::Number& n : form.numbers)
            AddNumberRow(n);
        for (const ContactForm::Email& e : form.emails)
            AddEmailRow(e);

        connect(name_, &QLineEdit::textEdited, this, [this] { Refresh(); });
        connect(vip_, &QCheckBox::toggled, this, [this] { Refresh(); });
        connect(addNumber_, &QPushButton::clicked, this, [this] {
            ContactForm::Number n;
            AddNumberRow(n);
            numbers_.back().text->setFocus();
            Refresh();
        });
        connect(addEmail_, &QPushButton::clicked, this, [this] {
            AddEmailRow(ContactForm::Email{});
            emails_.back().text->setFocus();
            Refresh();
        });
        connect(ok_, &QPushButton::clicked, this, [this] {
            Refresh();
            if (ok_->isEnabled())
                accept();
        });
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

        Refresh();
        name_->setFocus();

        // As large as the form, within the screen.
        content->adjustSize();
        const QSize wanted = content->sizeHint() + QSize(40, buttons->sizeHint().height() + 40);
        QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
        const QSize room = screen ? screen->availableGeometry().size() - QSize(40, 80) : wanted;
        resize(std::min(wanted.width(), room.width()), std::min(wanted.height(), room.height()));
    }

    // The form as the user left it.
    ContactForm Form() const
    {
        ContactForm form = form_;
        form.name = U(name_->text());
        form.vip = vip_->isChecked();
        form.numbers.clear();
        for (const NumberRow& r : numbers_) {
            ContactForm::Number& n = form.numbers.emplace_back();
            n.text = U(r.text->text());
            n.type = r.type->currentIndex();
            n.main = r.main->isChecked();
            n.quickdial = U(r.quickdial->text());
            n.vanity = U(r.vanity->text());
            n.source = r.source;
        }
        form.emails.clear();
        for (const EmailRow& r : emails_) {
            ContactForm::Email& e = form.emails.emplace_back();
            e.text = U(r.text->text());
            e.kind = r.kind->currentIndex();
            e.source = r.source;
        }
        return form;
    }

private:
    struct NumberRow {
        QWidget* row;
        QLineEdit* text;
        QComboBox* type;
        QCheckBox* main;
        QLineEdit* quickdial;
        QLineEdit* vanity;
        QPushButton* remove;
        QLabel* message;
        int source;
    };
    struct EmailRow {
        QWidget* row;
        QLineEdit* text;
        QComboBox* kind;
        QPushButton* remove;
        QLabel* message;
        int source;
    };

    static QLabel* Heading(const QString& text, QWidget* parent)
    {
        auto* label = new QLabel(text, parent);
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
        return label;
    }

    static QHBoxLayout* Headings(QWidget* parent, std::initializer_list<std::pair<QString, int>> columns)
    {
        auto* line = new QHBoxLayout;
        for (const auto& [text, width] : columns) {
            auto* label = new QLabel(text, parent);
            label->setFixedWidth(width);
            line->addWidget(label);
        }
        line->addStretch(1);
        return line;
    }

    static QComboBox* Choices(QWidget* parent, const std::vector<std::u16string>& choices, int current)
    {
        auto* box = new QComboBox(parent);
        for (const std::u16string& c : choices)
            box->addItem(Q(c));
        box->setCurrentIndex(current >= 0 && current < box->count() ? current : 0);
        box->setFixedWidth(TypeWidth);
        return box;
    }

    // A number's or an address's row: its widgets side by side at the top,
    // room to the right, at the end of box.
    static void PlaceRow(QVBoxLayout* box, QWidget* row, std::initializer_list<QWidget*> widgets)
    {
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        for (QWidget* w : widgets)
            line->addWidget(w, 0, Qt::AlignTop);
        line->addStretch(1);
        box->addWidget(row);
        row->show();
    }

    // "Entfernen": the row leaves rows and the dialog.
    template <typename Row>
    void RemoveRow(std::vector<Row>& rows, QWidget* row)
    {
        const auto it = std::find_if(rows.begin(), rows.end(), [row](const Row& x) { return x.row == row; });
        if (it == rows.end())
            return;
        rows.erase(it);
        row->deleteLater();
        row->hide();
        Refresh();
    }

    void AddNumberRow(const ContactForm::Number& n)
    {
        auto* row = new QWidget(numbersBox_->parentWidget());
        NumberRow r{row,
                    new QLineEdit(Q(n.text), row),
                    Choices(row, form_.numberTypes, n.type),
                    new QCheckBox(row),
                    new QLineEdit(Q(n.quickdial), row),
                    new QLineEdit(Q(n.vanity), row),
                    PlainButton(QStringLiteral("Entfernen"), row),
                    MessageLabel(row, MessageWidth),
                    n.source};
        r.text->setFixedWidth(NumberWidth);
        r.main->setChecked(n.main);
        r.main->setFixedWidth(MainWidth);
        r.quickdial->setFixedWidth(QuickdialWidth);
        r.vanity->setFixedWidth(VanityWidth);
        r.remove->setFixedWidth(RemoveWidth);
        PlaceRow(numbersBox_, row, {r.text, r.type, r.main, r.quickdial, r.vanity, r.remove, r.message});

        for (QLineEdit* field : {r.text, r.quickdial, r.vanity})
            connect(field, &QLineEdit::textEdited, this, [this] { Refresh(); });
        connect(r.type, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
        QCheckBox* main = r.main;
        connect(main, &QCheckBox::toggled, this, [this, main](bool on) {
            // One main number at most: ticking one unticks the others.
            if (on)
                for (NumberRow& other : numbers_)
                    if (other.main != main) {
                        const QSignalBlocker quiet(other.main);
                        other.main->setChecked(false);
                    }
            Refresh();
        });
        connect(r.remove, &QPushButton::clicked, this, [this, row] { RemoveRow(numbers_, row); });
        numbers_.push_back(r);
    }

    void AddEmailRow(const ContactForm::Email& e)
    {
        auto* row = new QWidget(emailsBox_->parentWidget());
        EmailRow r{row,
                   new QLineEdit(Q(e.text), row),
                   Choices(row, form_.emailKinds, e.kind),
                   PlainButton(QStringLiteral("Entfernen"), row),
                   MessageLabel(row, MessageWidth),
                   e.source};
        r.text->setFixedWidth(EmailWidth);
        r.remove->setFixedWidth(RemoveWidth);
        PlaceRow(emailsBox_, row, {r.text, r.kind, r.remove, r.message});

        connect(r.text, &QLineEdit::textEdited, this, [this] { Refresh(); });
        connect(r.kind, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
        connect(r.remove, &QPushButton::clicked, this, [this, row] { RemoveRow(emails_, row); });
        emails_.push_back(r);
    }

    // Names the rows' widgets by their place, checks the form and shows
    // the messages; "OK" only while none of them is an error.
    void Refresh()
    {
        const auto name = [](QWidget* w, const char* what, std::size_t i) {
            w->setObjectName(QString::fromLatin1(what) + u'-' + QString::number(i));
        };
        for (std::size_t i = 0; i < numbers_.size(); ++i) {
            const NumberRow& r = numbers_[i];
            name(r.text, "number", i);
            name(r.type, "type", i);
            name(r.main, "main", i);
            name(r.quickdial, "quickdial", i);
            name(r.vanity, "vanity", i);
            name(r.remove, "removeNumber", i);
            name(r.message, "numberMessage", i);
        }
        for (std::size_t i = 0; i < emails_.size(); ++i) {
            const EmailRow& r = emails_[i];
            name(r.text, "email", i);
            name(r.kind, "kind", i);
            name(r.remove, "removeEmail", i);
            name(r.message, "emailMessage", i);
        }
        addNumber_->setEnabled(static_cast<int>(numbers_.size()) < form_.maxNumbers);

        const std::vector<FormMessage> messages = check_ ? check_(Form()) : std::vector<FormMessage>();
        const auto at = [&messages](FormMessage::Field field, int index) {
            std::vector<const FormMessage*> out;
            for (const FormMessage& m : messages)
                if (m.field == field && (field == FormMessage::Field::Contact || field == FormMessage::Field::Name ||
                                         m.index == index))
                    out.push_back(&m);
            return out;
        };
        ShowMessages(nameMessage_, at(FormMessage::Field::Name, 0), name_);
        for (std::size_t i = 0; i < numbers_.size(); ++i)
            ShowMessages(numbers_[i].message, at(FormMessage::Field::Number, static_cast<int>(i)), numbers_[i].text);
        for (std::size_t i = 0; i < emails_.size(); ++i)
            ShowMessages(emails_[i].message, at(FormMessage::Field::Email, static_cast<int>(i)), emails_[i].text);
        ShowMessages(contactMessage_, at(FormMessage::Field::Contact, 0));
        ok_->setEnabled(!AnyError(messages));
    }

    ContactForm form_;  // as handed in: the choices and the limit
    FormCheck check_;
    QLineEdit* name_ = nullptr;
    QLabel* nameMessage_ = nullptr;
    QCheckBox* vip_ = nullptr;
    QVBoxLayout* numbersBox_ = nullptr;
    QVBoxLayout* emailsBox_ = nullptr;
    QPushButton* addNumber_ = nullptr;
    QPushButton* addEmail_ = nullptr;
    QLabel* contactMessage_ = nullptr;
    QPushButton* ok_ = nullptr;
    std::vector<NumberRow> numbers_;
    std::vector<EmailRow> emails_;
};

}  // namespace

bool ContactDialog(const std::u16string& title, ContactForm& form, const FormCheck& check)
{
    State& s = S();
    if (!s.contactFormAnswers.empty() || s.recordMessages) {
        RecordedContactDialog record{title, form, {}, false};
        std::optional<ContactForm> answer;
        if (!s.contactFormAnswers.empty()) {
            answer = std::move(s.contactFormAnswers.front());
            s.contactFormAnswers.pop_front();
        }
        record.messages = check ? check(answer ? *answer : form) : std::vector<FormMessage>();
        record.accepted = answer && !AnyError(record.messages);
        if (record.accepted)
            form = *answer;
        s.contactDialogs.push_back(std::move(record));
        return s.contactDialogs.back().accepted;
    }
    if (!QApplication::instance())
        return false;
    ContactDialogWidget dialog(title, form, check, FrontWindow());
    SyncLists();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    form = dialog.Form();
    return true;
}

void SetNextContactFormAnswer(const ContactForm& answer) { S().contactFormAnswers.emplace_back(answer); }
void SetNextContactFormCancel() { S().contactFormAnswers.emplace_back(std::nullopt); }
const std::vector<RecordedContactDialog>& RecordedContactDialogs() { return S().contactDialogs; }

}  // namespace ui
