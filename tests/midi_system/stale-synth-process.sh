#!/bin/sh
# A synthesizer process left behind by another version of the program: it answers at once, able
# to sound, but in protocol version 1. Using it would be a fault.
printf '\001\000\000\000\001\000\000\000/old/GeneralUser.sf2' >&3
