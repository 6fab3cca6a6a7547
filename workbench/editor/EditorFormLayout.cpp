// The Editor view's controls and their arrangement: the request list with its buttons on top,
// the selected request's options and parameters below on the left, the scenario's options on
// the right.
#include "app/NamedWidget.h"
#include "editor/ConnectionSpeeds.h"
#include "editor/DelayFieldRules.h"
#include "editor/EditorFormView.h"
#include "editor/MacroIPAddressCtrl.h"
#include "editor/UserAgents.h"
#include "runner/CommittedNumberBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace torvex {
namespace {

QPushButton* button(const QString& text, const char* name) {
    auto* each = named(new QPushButton(text), name);
    each->setAutoDefault(false);
    return each;
}

QLineEdit* lineEdit(const char* name, int maxLength) {
    auto* edit = named(new QLineEdit, name);
    edit->setMaxLength(maxLength);
    return edit;
}

QLabel* labelFor(const QString& text, QWidget* buddy, const char* name = nullptr) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    if (name) label->setObjectName(QString::fromLatin1(name));
    return label;
}

// An editable choice whose typed text never joins its list.
QComboBox* editableCombo(const char* name) {
    auto* combo = named(new QComboBox, name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

QTreeWidget* list(const char* name, const QStringList& columns) {
    auto* each = named(new QTreeWidget, name);
    each->setRootIsDecorated(false);
    each->setUniformRowHeights(true);
    each->setSelectionBehavior(QAbstractItemView::SelectRows);
    each->setHeaderLabels(columns);
    each->header()->setStretchLastSection(false);
    return each;
}

CommittedNumberBox* delayBox(const char* name) {
    auto* box = named(new CommittedNumberBox, name);
    box->setRange(0, kMaxDelaySeconds);
    box->setValue(0);
    // Room for a whole day in seconds and the arrows.
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("864000")) + 28);
    return box;
}

} // namespace

void CEditorFormView::buildControls() {
    auto* lower = new QHBoxLayout;
    lower->addWidget(createRequestPane(), 3);
    lower->addWidget(createScenarioPane(), 2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(createRequestsPane(), 1);
    layout->addLayout(lower);
}

QWidget* CEditorFormView::createRequestsPane() {
    requests_ = list("requests", {QStringLiteral("Name"), QStringLiteral("URL"),
                                  QStringLiteral("Data"), QStringLiteral("Delay")});
    requests_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    addRequest_     = button(QStringLiteral("&Add"), "addRequest");
    deleteRequests_ = button(QStringLiteral("&Delete"), "deleteRequests");
    clearRequests_  = button(QStringLiteral("C&lear"), "clearRequests");
    moveUp_         = button(QStringLiteral("Up"), "moveUp");
    moveDown_       = button(QStringLiteral("Down"), "moveDown");

    // The buttons take one row under the list, leaving the list the height.
    auto* buttons = new QHBoxLayout;
    for (QPushButton* each : {addRequest_, deleteRequests_, clearRequests_})
        buttons->addWidget(each);
    buttons->addStretch();
    buttons->addWidget(moveUp_);
    buttons->addWidget(moveDown_);

    auto* pane   = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(requests_, 1);
    layout->addLayout(buttons);
    return pane;
}

QWidget* CEditorFormView::createRequestPane() {
    name_   = lineEdit("requestName", kMaxNameLength);
    server_ = lineEdit("server", kMaxServerLength);
    uri_    = editableCombo("uri");
    method_ = named(new QComboBox, "method");
    method_->addItems({QStringLiteral("GET"), QStringLiteral("POST")});
    secure_    = named(new QCheckBox(QStringLiteral("Se&cure")), "secure");
    delayFrom_ = delayBox("delayFrom");
    delayTo_   = delayBox("delayTo");

    auto* delays = new QHBoxLayout;
    delays->addWidget(delayFrom_);
    delays->addWidget(labelFor(QStringLiteral("to"), delayTo_));
    delays->addWidget(delayTo_);
    delays->addWidget(new QLabel(QStringLiteral("sec")));
    delays->addStretch();

    auto* options = new QGridLayout;
    options->setColumnStretch(1, 1);
    options->addWidget(labelFor(QStringLiteral("&Name:"), name_), 0, 0);
    options->addWidget(name_, 0, 1);
    options->addWidget(labelFor(QStringLiteral("Met&hod:"), method_), 0, 2);
    options->addWidget(method_, 0, 3);
    options->addWidget(labelFor(QStringLiteral("&Server:"), server_), 1, 0);
    options->addWidget(server_, 1, 1);
    options->addWidget(secure_, 1, 2, 1, 2);
    options->addWidget(labelFor(QStringLiteral("UR&I:"), uri_), 2, 0);
    options->addWidget(uri_, 2, 1, 1, 3);
    options->addWidget(labelFor(QStringLiteral("Dela&y from"), delayFrom_), 3, 0);
    options->addLayout(delays, 3, 1, 1, 3);

    parameters_ = list("parameters", {QStringLiteral("Name"), QStringLiteral("Value")});
    parameters_->setSelectionMode(QAbstractItemView::SingleSelection);
    addParameter_          = button(QStringLiteral("Add"), "addParameter");
    editParameter_         = button(QStringLiteral("Function"), "editParameter");
    deleteParameter_       = button(QStringLiteral("Delete"), "deleteParameter");
    auto* parameterButtons = new QVBoxLayout;
    for (QPushButton* each : {addParameter_, editParameter_, deleteParameter_})
        parameterButtons->addWidget(each);
    parameterButtons->addStretch();
    auto* parameters = new QHBoxLayout;
    parameters->addWidget(parameters_, 1);
    parameters->addLayout(parameterButtons);

    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(options);
    layout->addLayout(parameters, 1);
    auto* box = new QGroupBox(QStringLiteral("Request"));
    box->setLayout(layout);
    return box;
}

QWidget* CEditorFormView::createScenarioPane() {
    useDelays_ = named(new QCheckBox(QStringLiteral("&Use delays")), "useDelays");
    keepAlive_ = named(new QCheckBox(QStringLiteral("&Keep alive")), "keepAlive");
    basicAuth_ = named(new QCheckBox(QStringLiteral("&Basic authorization")), "basicAuth");
    userName_  = lineEdit("userName", kMaxUserNameLength);
    password_  = lineEdit("password", kMaxPasswordLength);
    password_->setEchoMode(QLineEdit::Password);
    userNameLabel_   = labelFor(QStringLiteral("Na&me:"), userName_, "userNameLabel");
    passwordLabel_   = labelFor(QStringLiteral("&Password:"), password_, "passwordLabel");
    addForwardedFor_ = named(new QCheckBox(QStringLiteral("Add \"X-Forwarded-For\" HTTP header:")),
                             "addForwardedFor");
    forwardedFor_    = named(new CMacroIPAddressCtrl, "forwardedFor");
    ignoreErrors_    = named(new QCheckBox(QStringLiteral("Ignore &errors")), "ignoreErrors");
    limitSpeed_ =
        named(new QCheckBox(QStringLiteral("Simulate user c&onnection speed:")), "limitSpeed");
    speed_ = named(new QComboBox, "speed");
    for (const ConnectionSpeed& each : connectionSpeeds())
        speed_->addItem(QString::fromLatin1(each.text), each.bitsPerSecond);
    customUserAgent_ = named(new QCheckBox(QStringLiteral("User a&gent:")), "customUserAgent");
    userAgent_       = editableCombo("userAgent");
    userAgent_->lineEdit()->setMaxLength(kMaxUserAgentLength);
    for (const char* agent : userAgents()) userAgent_->addItem(QString::fromLatin1(agent));
    // The agents are long; the box shows their start and its list opens wide enough to read.
    userAgent_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    userAgent_->setMinimumContentsLength(20);
    userAgent_->view()->setMinimumWidth(fontMetrics().horizontalAdvance(
        QStringLiteral("Mozilla/2.0 (compatible; MSIE 3.02; Update a; AK; Windows 95)XXXX")));

    auto* login = new QGridLayout;
    login->setContentsMargins(20, 0, 0, 0);
    login->setColumnStretch(1, 1);
    login->addWidget(userNameLabel_, 0, 0);
    login->addWidget(userName_, 0, 1);
    login->addWidget(passwordLabel_, 1, 0);
    login->addWidget(password_, 1, 1);

    auto* address = new QHBoxLayout;
    address->setContentsMargins(20, 0, 0, 0);
    address->addWidget(forwardedFor_);
    address->addStretch();

    auto* checks = new QGridLayout;
    checks->addWidget(keepAlive_, 0, 0);
    checks->addWidget(useDelays_, 0, 1);
    checks->addWidget(ignoreErrors_, 1, 0);

    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(checks);
    layout->addWidget(basicAuth_);
    layout->addLayout(login);
    layout->addWidget(addForwardedFor_);
    layout->addLayout(address);
    layout->addWidget(limitSpeed_);
    layout->addWidget(speed_);
    layout->addWidget(customUserAgent_);
    layout->addWidget(userAgent_);
    layout->addStretch();
    auto* box = new QGroupBox(QStringLiteral("Scenario"));
    box->setLayout(layout);
    return box;
}

void CEditorFormView::connectControls() {
    requests_->installEventFilter(this);
    requests_->viewport()->installEventFilter(this);
    parameters_->viewport()->installEventFilter(this);

    connect(requests_, &QTreeWidget::itemSelectionChanged, this,
            &CEditorFormView::onRequestSelectionChanged);
    connect(addRequest_, &QPushButton::clicked, this, &CEditorFormView::addRequest);
    connect(deleteRequests_, &QPushButton::clicked, this, &CEditorFormView::deleteRequests);
    connect(clearRequests_, &QPushButton::clicked, this, &CEditorFormView::clearRequests);
    connect(moveUp_, &QPushButton::clicked, this, [this] { moveRequest(-1); });
    connect(moveDown_, &QPushButton::clicked, this, [this] { moveRequest(1); });

    connect(name_, &QLineEdit::textChanged, this, &CEditorFormView::applyRequestOptions);
    connect(server_, &QLineEdit::textChanged, this, &CEditorFormView::applyRequestOptions);
    // A choice from the list reaches the edit text first, which then applies.
    connect(uri_, &QComboBox::editTextChanged, this, &CEditorFormView::applyRequestOptions);
    connect(method_, &QComboBox::currentIndexChanged, this, &CEditorFormView::applyRequestOptions);
    connect(secure_, &QCheckBox::toggled, this, &CEditorFormView::applyRequestOptions);
    // The boxes' own line edits report every change of their text.
    connect(delayFrom_->findChild<QLineEdit*>(), &QLineEdit::textChanged, this,
            [this] { onDelayChanged(DelayField::kFrom); });
    connect(delayTo_->findChild<QLineEdit*>(), &QLineEdit::textChanged, this,
            [this] { onDelayChanged(DelayField::kTo); });
    connect(delayFrom_, &CommittedNumberBox::editingFinished, this,
            [this] { onDelayLeft(DelayField::kFrom); });
    connect(delayTo_, &CommittedNumberBox::editingFinished, this,
            [this] { onDelayLeft(DelayField::kTo); });

    connect(parameters_, &QTreeWidget::itemSelectionChanged, this,
            &CEditorFormView::updateEnabling);
    connect(parameters_, &QTreeWidget::itemDoubleClicked, this,
            &CEditorFormView::editSelectedParameter);
    connect(addParameter_, &QPushButton::clicked, this, &CEditorFormView::addParameter);
    connect(editParameter_, &QPushButton::clicked, this, &CEditorFormView::editSelectedParameter);
    connect(deleteParameter_, &QPushButton::clicked, this,
            &CEditorFormView::deleteSelectedParameter);

    connect(useDelays_, &QCheckBox::clicked, this, &CEditorFormView::onUseDelaysClicked);
    for (QCheckBox* each :
         {keepAlive_, basicAuth_, addForwardedFor_, ignoreErrors_, limitSpeed_, customUserAgent_})
        connect(each, &QCheckBox::toggled, this, &CEditorFormView::onScenarioOptionChanged);
    for (QLineEdit* each : {userName_, password_})
        connect(each, &QLineEdit::textChanged, this, &CEditorFormView::onScenarioOptionChanged);
    connect(forwardedFor_, &CMacroIPAddressCtrl::fieldChanged, this,
            &CEditorFormView::onScenarioOptionChanged);
    connect(speed_, &QComboBox::currentIndexChanged, this,
            &CEditorFormView::onScenarioOptionChanged);
    connect(userAgent_, &QComboBox::editTextChanged, this,
            &CEditorFormView::onScenarioOptionChanged);
}

} // namespace torvex
