// Writes the sample Model folder: make_sample_models <output Model folder>.
#include "tools/samples/SampleModels.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_sample_models <output Model folder>\n";
        return 2;
    }
    try {
        samples::writeSampleModels(argv[1]);
    } catch (const std::exception& e) {
        std::cerr << "make_sample_models: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
