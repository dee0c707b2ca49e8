#include "puzzle_catalogue.hpp"

const puzzle* find_puzzle(std::int32_t id) {
    for (const puzzle& entry : puzzle_catalogue) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}
