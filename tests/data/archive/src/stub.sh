#!/bin/sh
echo "this stub runs before the archive"
exit 0
