#!/bin/sh
# The bench's probe: a guest that boots says so.
echo booted > /results/probe
