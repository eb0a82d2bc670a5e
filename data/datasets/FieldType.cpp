#include "data/datasets/FieldType.h"

TypeClass typeClassOf(FieldType type) {
    switch (type) {
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::WideString:
    case FieldType::FixedWideChar:
    case FieldType::Memo: return TypeClass::Text;
    case FieldType::Integer:
    case FieldType::AutoInc:
    case FieldType::Float: return TypeClass::Number;
    case FieldType::Date:
    case FieldType::DateTime: return TypeClass::Temporal;
    case FieldType::Boolean:
    case FieldType::Blob: return TypeClass::Other;
    case FieldType::Unknown: break;
    }
    return TypeClass::Unknown;
}

bool isTextType(FieldType type) { return typeClassOf(type) == TypeClass::Text; }

QString fieldTypeName(FieldType type) {
    switch (type) {
    case FieldType::String: return QStringLiteral("String");
    case FieldType::FixedChar: return QStringLiteral("FixedChar");
    case FieldType::WideString: return QStringLiteral("WideString");
    case FieldType::FixedWideChar: return QStringLiteral("FixedWideChar");
    case FieldType::Memo: return QStringLiteral("Memo");
    case FieldType::Integer: return QStringLiteral("Integer");
    case FieldType::AutoInc: return QStringLiteral("AutoInc");
    case FieldType::Float: return QStringLiteral("Float");
    case FieldType::Date: return QStringLiteral("Date");
    case FieldType::DateTime: return QStringLiteral("DateTime");
    case FieldType::Boolean: return QStringLiteral("Boolean");
    case FieldType::Blob: return QStringLiteral("Blob");
    case FieldType::Unknown: break;
    }
    return QStringLiteral("Unknown");
}

int defaultDisplayWidth(FieldType type, int size) {
    switch (typeClassOf(type)) {
    case TypeClass::Text: return size > 0 ? size : 20;
    case TypeClass::Number: return type == FieldType::Float ? 10 : 11;
    case TypeClass::Temporal: return type == FieldType::Date ? 10 : 18;
    default: return 10;
    }
}
