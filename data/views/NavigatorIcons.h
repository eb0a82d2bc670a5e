#pragma once
#include <QIcon>

/// The ten kinds of navigator button, in their fixed order.
enum class NavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };

/// A navigator button's picture, drawn as vectors so it stays sharp at any
/// scale, with a greyed form for the disabled button.
QIcon navigatorIcon(NavigateBtn kind);
