#include "application.h"

int main(int argc, char** argv) {
    return tandemscan::runTandemscan(argc, argv);
}
