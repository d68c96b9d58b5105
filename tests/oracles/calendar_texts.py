"""Dates and times of day as time.strftime writes them in UTC.

Prints random cases "seconds dayFirst yearFirst monthFirst clock24 clock12": the day-first, year-first and
month-first dates (day, month and hour unpadded, two-digit year) and the 24- and 12-hour times of day.
"""
import os
import random
import time

from text_fields import emit, seed


def main():
    os.environ['TZ'] = 'UTC'
    time.tzset()
    rng = random.Random(seed())
    picks = [0, 1, 43200, 43200 + 30 * 60 + 5, 2 ** 31 - 1, 2 ** 31, 2 ** 32, 1104537600]
    picks += [rng.randint(1, 2 ** 34) for _ in range(500)] + [rng.randint(0, 86400) for _ in range(100)]
    for seconds in picks:
        t = time.gmtime(seconds)
        emit(str(seconds), time.strftime('%-d/%-m/%y', t), time.strftime('%Y/%-m/%-d', t),
             time.strftime('%-m/%-d/%y', t), time.strftime('%-H:%M:%S', t), time.strftime('%-I:%M:%S %p', t))


main()
