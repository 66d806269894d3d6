#include "ui/program.h"

int main(int argc, char** argv) {
    return lilan::runProgram(argc, argv);
}
