#include "data/views/TDBText.h"
#include "data/datasets/TField.h"
#include "data/views/ViewBinding.h"

TDBText::TDBText(const QString &name, QWidget *parent) : QLabel(parent) {
    setObjectName(name);
    setTextFormat(Qt::PlainText);
    m_link.onDataChange = [this] { refresh(); };
}

TDBText::~TDBText() { ViewBinding::cancel(&m_link); }

void TDBText::setDataSourceName(const QString &name) { ViewBinding::request(&m_link, name); }

void TDBText::refresh() {
    TField *field = m_link.Field();
    setText(field ? field->DisplayText() : QString());
}
