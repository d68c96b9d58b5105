"""Linear congruential sequence of the random-number kernel, with Python's unbounded integers.

Arguments: state n. Prints the n states that follow the given one: x <- (1664525 x + 1013904223) mod 2^32.
"""
import sys

state = int(sys.argv[1])
n = int(sys.argv[2])
words = []
for _ in range(n):
    state = (1664525 * state + 1013904223) % (1 << 32)
    words.append(state)
print(" ".join(str(w) for w in words))
