#pragma once

/// A serial number given to each long-lived object of the program as it is
/// created, so the order of creation can be told afterwards.
namespace CreationOrder {
int next();
}
