#!/usr/bin/python3
"""Runs lab test modules with their classes, and the tests in each class, in a random
order, to show that no test leans on another having run before it:

  cd tests/lab/tests && sudo ./run_shuffled.py [--seed N] MODULE...

A class's tests stay together, so each class still brings up its lab once.
The seed is printed first; give it again to repeat an order.
"""
import argparse
import random
import sys
import unittest


def flatten(suite):
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            yield from flatten(item)
        else:
            yield item


def shuffled(modules, rng):
    by_class = {}
    for module in modules:
        for test in flatten(unittest.defaultTestLoader.loadTestsFromName(module)):
            by_class.setdefault(type(test), []).append(test)
    groups = list(by_class.values())
    rng.shuffle(groups)
    suite = unittest.TestSuite()
    for tests in groups:
        rng.shuffle(tests)
        suite.addTests(tests)
    return suite


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=random.SystemRandom().randrange(1 << 32))
    parser.add_argument("modules", nargs="+")
    args = parser.parse_args()
    sys.stderr.write(f"test order seed: {args.seed}\n")
    suite = shuffled(args.modules, random.Random(args.seed))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
