// Saves a large project to the file it is given, again and again, telling its parent after
// the first save; the parent kills it at some moment of a save.
#include "app/project/projectfile.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString target = QString::fromLocal8Bit(argv[1]);
    project::ProjectData big;
    big.markerCounter = 2;
    const int components[] = {2, 1, 3, 3, 1};
    for (int set = 0; set < 5; ++set)
        for (int m = 1; m <= 20; ++m)
            for (int c = 0; c < components[set]; ++c) {
                project::Channel ch{set, m, c, 0, {}};
                ch.values.resize(32768);
                for (std::size_t f = 0; f < ch.values.size(); ++f)
                    ch.values[f] = float(std::cos(double(f) * 0.01 * m));
                big.channels.push_back(std::move(ch));
            }
    for (int round = 0;; ++round) {
        big.markerCounter = 2 + round % 2;
        if (!project::ProjectFile::write(target, big, nullptr))
            return 1;
        if (round == 0) {
            std::printf("saved\n");
            std::fflush(stdout);
        }
    }
}
